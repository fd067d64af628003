// The main window opened inside another program (the sample window of the screenshots, the
// fill benchmark): built and run on a thread of its own, as the program's window thread does,
// so that the program's main thread calls the views and the log from outside the window thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "ui/gadgets.h"

namespace appcensus::testing {

class WindowHarness {
 public:
  // Opens the window; false when it did not appear.
  bool Open();
  // Closes it and waits for its thread.
  void Close();
  // Waits until someone else closes the window.
  void WaitUntilClosed();
  HWND Window() const { return window_; }

  // Runs `work` on the window thread after everything handed over so far, and waits for it.
  bool OnWindowThread(std::function<void(Gadgets&)> work,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(60000));

 private:
  std::thread thread_;
  HWND window_ = nullptr;
};

}  // namespace appcensus::testing
