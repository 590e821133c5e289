#pragma once
// A test with the program's main window started on a settings file of its own.

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "main_window_state.h"
#include "pump.h"
#include "settings.h"
#include "startup.h"

namespace wrenfold::ui::testing {

// Closes a test's main window, drops what it left in the queue and empties the slot.
inline void end_main_window() {
  if (MainWindowState* state = find_main_window_state(); state != nullptr) {
    state->modified = false;
    if (IsWindow(state->main_window)) DestroyWindow(state->main_window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    remove_main_window_state();
  }
}

class MainWindowTest : public ::testing::Test {
 protected:
  // The settings the window starts with; no update question interrupts a test.
  virtual AppSettings initial_settings() {
    AppSettings settings;
    settings.check_for_updates = false;
    return settings;
  }

  void SetUp() override {
    OleInitialize(nullptr);
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    settings_path_ = reinterpret_cast<const char16_t*>(folder);
    settings_path_ += u"wrenfold-window-test-" + std::u16string(1, u'a' + GetCurrentProcessId() % 26) + u".json";
    ASSERT_TRUE(save_settings(settings_path_, initial_settings()).ok());
    StartOptions options;
    options.settings_path = settings_path_;
    options.command_line = u"ui_tests.exe";
    state_ = &start_main_window(GetModuleHandleW(nullptr), options);
    pump(*state_, 50);
  }

  void TearDown() override {
    end_main_window();
    DeleteFileW(reinterpret_cast<const wchar_t*>(settings_path_.c_str()));
    OleUninitialize();
  }

  MainWindowState& state() { return *state_; }
  AppSettings stored_settings() { return load_settings(settings_path_); }

  std::u16string settings_path_;
  MainWindowState* state_ = nullptr;
};

}  // namespace wrenfold::ui::testing
