#include "tools/window_harness_win32.h"

#include "ui/main_views.h"
#include "ui/named_ids.h"
#include "ui/window_thread_win32.h"

namespace appcensus::testing {

bool WindowHarness::Open() {
  thread_ = std::thread([] { RunMainWindow(); });
  for (int i = 0; i < 600 && !window_; ++i) {
    HWND window = reinterpret_cast<HWND>(NamedId(u"ID_FenGeneral", 0));
    if (window && IsWindowVisible(window)) window_ = window;
    else Sleep(50);
  }
  return window_ != nullptr && OnWindowThread([](Gadgets&) {});
}

void WindowHarness::Close() {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (thread_.joinable()) thread_.join();
  window_ = nullptr;
}

void WindowHarness::WaitUntilClosed() {
  if (thread_.joinable()) thread_.join();
  window_ = nullptr;
}

bool WindowHarness::OnWindowThread(std::function<void(Gadgets&)> work, std::chrono::milliseconds limit) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  MainUiChannel().Post([work = std::move(work), done](Gadgets& gadgets) {
    work(gadgets);
    done->set_value();
  });
  return finished.wait_for(limit) == std::future_status::ready;
}

}  // namespace appcensus::testing
