#pragma once
// Runs the program's own loop handling for a while in a test, timers included.

#include <windows.h>

#include <chrono>

#include "main_window_state.h"
#include "message_loop.h"

namespace wrenfold::ui::testing {

inline void pump(MainWindowState& state, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      if (preprocess_message(state, message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

}  // namespace wrenfold::ui::testing
