// Hands user-interface work from any thread to the window thread.
//
// Post() queues owned work under a short lock and asks for at most one wake-up at a time;
// it never waits for the window thread. The window thread answers the wake-up with Drain(),
// which takes the whole queue under the lock and applies it with the lock released, in one
// batch. Work posted from the window thread itself is applied at once, after everything
// queued before it, so each thread's calls keep their order.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/gadgets.h"

namespace appcensus {

using GadgetWork = std::function<void(Gadgets&)>;

class UiChannel {
 public:
  // Asks the window thread to call Drain() soon; false when the request could not be sent.
  using WakeFunction = std::function<bool()>;

  // Binds the channel to the calling thread, which becomes the window thread. Work queued
  // before that waits for the first Drain().
  void Attach(Gadgets& gadgets, WakeFunction wake);
  // Unbinds; later work only queues up.
  void Detach();

  void Post(GadgetWork work);
  // Window thread only: applies every queued item, including items queued meanwhile.
  void Drain();

  bool OnWindowThread() const;

 private:
  mutable std::mutex mutex_;
  std::deque<GadgetWork> queue_;
  bool wakePending_ = false;
  Gadgets* gadgets_ = nullptr;
  WakeFunction wake_;
  std::thread::id windowThread_;
  bool draining_ = false;  // window thread only
};

}  // namespace appcensus
