#pragma once
// Drives a modal window of the program, which runs its own loop: scripted steps run one per
// tick of a thread timer that fires inside that loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace wrenfold::ui::testing {

class ModalScript {
 public:
  explicit ModalScript(const wchar_t* window_class) : window_class_(window_class) {}

  void then(std::function<void(HWND)> step) { steps_.push_back(std::move(step)); }

  // Runs `open`, which returns once the window has closed; true when every step ran. A
  // window that never showed up, or went away for good before the last step, is a failure.
  bool run(const std::function<void()>& open) {
    active_ = this;
    idle_ticks_ = 0;
    timed_out_ = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 40, tick);
    open();
    KillTimer(nullptr, timer);
    active_ = nullptr;
    return steps_.empty() && !timed_out_;
  }

 private:
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript& script = *active_;
    const HWND window = FindWindowW(script.window_class_, nullptr);
    if (window == nullptr || !IsWindowVisible(window)) {
      // Never leave a test stuck waiting for a window that will not come.
      if (!script.steps_.empty() && ++script.idle_ticks_ > 40) {
        ADD_FAILURE() << "the window didn't show up for the next step";
        script.timed_out_ = true;
        script.steps_.clear();
      }
      return;
    }
    script.idle_ticks_ = 0;
    if (script.steps_.empty()) {
      ADD_FAILURE() << "the window stayed open after the last step";
      PostMessageW(window, WM_CLOSE, 0, 0);
      return;
    }
    std::function<void(HWND)> step = std::move(script.steps_.front());
    script.steps_.pop_front();
    step(window);
  }

  static inline ModalScript* active_ = nullptr;
  const wchar_t* window_class_;
  std::deque<std::function<void(HWND)>> steps_;
  int idle_ticks_ = 0;
  bool timed_out_ = false;
};

}  // namespace wrenfold::ui::testing
