// Hands user-interface work from any thread to the window thread.
//
// Post() queues owned work under a short lock and asks for at most one wake-up at a time;
// it never waits for the window thread. The window thread answers the wake-up with Drain(),
// which takes what is queued when it starts and applies it with the lock released, in one
// batch of at most kWorkPerDrain pieces (the rest waits for the next wake-up), then returns to
// the message loop: work queued meanwhile waits for the next wake-up,
// so a busy producer never keeps the window from its messages. Work posted from the window
// thread itself is applied at once, after everything queued before it, so each thread's
// calls keep their order.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/gadgets.h"

namespace appcensus {

using GadgetWork = std::function<void(Gadgets&)>;
// Work applied one step per drain; it returns true after its last step. Nothing queued after
// it is applied before it is done.
using GadgetSteps = std::function<bool(Gadgets&)>;

// Pieces of work (activity rows, say) a drain applies at most, so that the window answers its
// messages however many lines a long request logs.
inline constexpr std::size_t kWorkPerDrain = 100;

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
  // For a value of which only the latest counts (the progress bar): replaces such work when
  // it is still the last one queued.
  void PostLatest(GadgetWork work);
  void PostSteps(GadgetSteps steps);
  // Window thread only: applies the work queued when it starts.
  void Drain();

  bool OnWindowThread() const;

 private:
  struct Item {
    GadgetSteps steps;
    bool latestOnly = false;
  };
  void Enqueue(Item item);
  // Asks for a wake-up unless one is pending; called with the lock held, the returned
  // function is called after it is released.
  WakeFunction WakeLocked();
  void CallWake(const WakeFunction& wake);

  mutable std::mutex mutex_;
  std::deque<Item> queue_;
  bool wakePending_ = false;
  Gadgets* gadgets_ = nullptr;
  WakeFunction wake_;
  std::thread::id windowThread_;
  bool draining_ = false;  // window thread only
};

}  // namespace appcensus
