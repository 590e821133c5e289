// The consent question, the daily automatic check and what a check's result leaves behind,
// on the real main window with the program's own settings file in a temporary folder.

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialogs.h"
#include "main_window.h"
#include "main_window_state.h"
#include "modal_script.h"
#include "pump.h"
#include "settings.h"
#include "settings_page.h"
#include "startup.h"
#include "statusbar.h"
#include "timestamp.h"
#include "update_schedule.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::wide;
using testing::temp_folder;

using testing::pump;

std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

class UpdateScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    settings_path_ = temp_folder() + u"wrenfold-update-schedule-test.json";
    DeleteFileW(wide(settings_path_));
    // Nothing listens there: every check fails at once without leaving the machine.
    SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", L"http://127.0.0.1:1/wrenfold/latest.json");
    set_message_responder([this](const MessageRequest& request) -> std::optional<int> {
      requests_.push_back(request);
      return answer_;
    });
  }

  void TearDown() override {
    set_message_responder({});
    SetEnvironmentVariableW(L"WRENFOLD_UPDATE_URL", nullptr);
    if (MainWindowState* state = find_main_window_state(); state != nullptr) {
      if (IsWindow(state->main_window)) DestroyWindow(state->main_window);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // A late check result still belongs to someone.
        if (message.message == kMessageUpdateCheckResult) {
          delete reinterpret_cast<UpdateCheckResult*>(message.lParam);
        }
      }
      remove_main_window_state();
    }
    DeleteFileW(wide(settings_path_));
    OleUninitialize();
  }

  MainWindowState& start(const AppSettings& settings) {
    EXPECT_TRUE(save_settings(settings_path_, settings).ok());
    StartOptions options;
    options.settings_path = settings_path_;
    options.command_line = u"ui_tests.exe";
    MainWindowState& state = start_main_window(GetModuleHandleW(nullptr), options);
    pump(state, 50);
    return state;
  }

  AppSettings stored() const { return load_settings(settings_path_); }

  // Pumps until a check result has arrived or `milliseconds` have passed.
  static bool wait_for_result(MainWindowState& state, int milliseconds) {
    for (int waited = 0; waited < milliseconds && !state.last_update_check_result; waited += 50) {
      pump(state, 50);
    }
    return state.last_update_check_result.has_value();
  }

  std::u16string settings_path_;
  std::vector<MessageRequest> requests_;
  std::optional<int> answer_ = IDCANCEL;
};

TEST_F(UpdateScheduleTest, ConsentIsAskedTwoSecondsAfterStartAndEscMeansNever) {
  MainWindowState& state = start(AppSettings{});
  pump(state, 1500);
  EXPECT_TRUE(requests_.empty());
  pump(state, 1000);
  ASSERT_EQ(requests_.size(), 1u);
  const MessageRequest& request = requests_.front();
  EXPECT_EQ(request.instruction, u"Check for updates?");
  EXPECT_NE(request.content.find(u"wrenfold.example for a newer version, at most once a day. "
                                 u"Nothing is installed without asking.\n\nYou can change this "
                                 u"later in Settings."),
            std::u16string::npos);
  ASSERT_EQ(request.buttons.size(), 2u);
  EXPECT_EQ(request.buttons[0].id, 6);
  EXPECT_EQ(request.buttons[0].label, u"Check automatically");
  EXPECT_EQ(request.buttons[1].id, 7);
  EXPECT_EQ(request.buttons[1].label, u"Don't check");
  EXPECT_EQ(request.default_id, 6);
  EXPECT_EQ(request.cancel_id, 7);

  EXPECT_EQ(stored().check_for_updates, false);
  EXPECT_EQ(state.settings.read().check_for_updates, false);
  EXPECT_FALSE(wait_for_result(state, 500));  // no check was started
}

TEST_F(UpdateScheduleTest, AgreeingChecksAtOnceAndAFailureStoresNothing) {
  AppSettings settings;
  settings.check_for_updates = false;
  settings.last_update_check = u"2026-01-02T03:04:05+00:00";
  MainWindowState& state = start(settings);
  answer_ = IDYES;
  ask_update_consent(state);
  EXPECT_EQ(stored().check_for_updates, true);
  ASSERT_TRUE(wait_for_result(state, 20'000));
  EXPECT_EQ(state.last_update_check_result->outcome, UpdateCheckOutcome::Failed);
  EXPECT_TRUE(state.last_update_check_result->message.starts_with(u"Couldn't check for updates: "));
  EXPECT_EQ(stored().last_update_check, u"2026-01-02T03:04:05+00:00");
}

TEST_F(UpdateScheduleTest, AnOpenMessageDefersTheQuestionToALaterStart) {
  MainWindowState& state = start(AppSettings{});
  state.message_dialog_open = true;
  ask_update_consent(state);
  state.message_dialog_open = false;
  EXPECT_TRUE(requests_.empty());
  EXPECT_EQ(stored().check_for_updates, std::nullopt);
  pump(state, 2500);  // the timer was stopped
  EXPECT_TRUE(requests_.empty());
}

TEST_F(UpdateScheduleTest, AutomaticCheckWaitsADay) {
  AppSettings settings;
  settings.check_for_updates = true;
  settings.last_update_check = format_utc_timestamp(unix_seconds_now() - 23 * 3600);
  MainWindowState& state = start(settings);
  EXPECT_FALSE(wait_for_result(state, 1500));
  EXPECT_TRUE(requests_.empty());
}

TEST_F(UpdateScheduleTest, AutomaticCheckRunsWhenADayHasPassed) {
  AppSettings settings;
  settings.check_for_updates = true;
  settings.last_update_check = format_utc_timestamp(unix_seconds_now() - 24 * 3600);
  MainWindowState& state = start(settings);
  ASSERT_TRUE(wait_for_result(state, 20'000));
  EXPECT_EQ(state.last_update_check_result->outcome, UpdateCheckOutcome::Failed);
  EXPECT_EQ(stored().last_update_check, settings.last_update_check);  // tried again next start
  EXPECT_TRUE(requests_.empty());  // a failed automatic check shows nothing
}

TEST_F(UpdateScheduleTest, ResultsAreStoredOnTopOfOtherWindowsChanges) {
  AppSettings settings;
  settings.check_for_updates = true;
  settings.last_update_check = format_utc_timestamp(unix_seconds_now());
  MainWindowState& state = start(settings);

  // Another window saves meanwhile.
  AppSettings other = stored();
  other.font_bold = true;
  ASSERT_TRUE(save_settings(settings_path_, other).ok());

  auto available = std::make_unique<UpdateCheckResult>();
  available->outcome = UpdateCheckOutcome::Available;
  available->version = u"2.3";
  available->download.url = u"https://downloads.wrenfold.example/2.3.exe";
  const UpdateCheckResult sent = *available;
  const std::int64_t before = unix_seconds_now();
  ASSERT_TRUE(PostMessageW(state.main_window, kMessageUpdateCheckResult, 0,
                           reinterpret_cast<LPARAM>(available.release())));
  pump(state, 50);
  EXPECT_EQ(state.last_update_check_result, sent);
  AppSettings after = stored();
  EXPECT_TRUE(after.font_bold);
  EXPECT_EQ(after.available_update, u"2.3");
  ASSERT_TRUE(after.last_update_check);
  const std::optional<std::int64_t> checked = parse_rfc3339(*after.last_update_check);
  ASSERT_TRUE(checked);
  EXPECT_GE(*checked, before);
  EXPECT_LE(*checked, unix_seconds_now());
  EXPECT_EQ(*after.last_update_check, format_utc_timestamp(*checked));
  EXPECT_EQ(state.available_update, u"2.3");
  EXPECT_EQ(current_status_snapshot().update, u"Update available: 2.3");

  auto up_to_date = std::make_unique<UpdateCheckResult>();
  up_to_date->outcome = UpdateCheckOutcome::UpToDate;
  on_update_check_result(state, std::move(up_to_date));
  EXPECT_EQ(stored().available_update, std::nullopt);
  EXPECT_EQ(state.available_update, std::nullopt);
  EXPECT_EQ(current_status_snapshot().update, std::nullopt);
  EXPECT_EQ(state.last_update_check_result->outcome, UpdateCheckOutcome::UpToDate);

  AppSettings marked = stored();
  marked.last_update_check = u"2026-01-02T03:04:05+00:00";
  marked.available_update = u"2.9";
  ASSERT_TRUE(save_settings(settings_path_, marked).ok());
  auto failed = std::make_unique<UpdateCheckResult>();
  failed->message = u"Couldn't check for updates: the server answered 500";
  on_update_check_result(state, std::move(failed));
  EXPECT_EQ(stored(), marked);
  EXPECT_EQ(state.last_update_check_result->message, u"Couldn't check for updates: the server answered 500");
}

TEST_F(UpdateScheduleTest, StartKeepsANewerOfferAndForgetsAnInstalledOne) {
  const std::vector<std::pair<std::u16string, bool>> cases = {
      {u"2.4", true}, {u"2.0.2", true}, {u"2.0.1", false}, {u"1.9", false}, {u"soon", false},
  };
  for (const auto& [offered, kept] : cases) {
    AppSettings settings;
    settings.check_for_updates = false;
    settings.available_update = offered;
    MainWindowState& state = start(settings);
    EXPECT_EQ(stored().available_update, kept ? std::optional(offered) : std::nullopt) << narrow(offered);
    EXPECT_EQ(state.settings.read().available_update, kept ? std::optional(offered) : std::nullopt);
    EXPECT_EQ(state.available_update, kept ? std::optional(offered) : std::nullopt);
    EXPECT_EQ(current_status_snapshot().update,
              kept ? std::optional(u"Update available: " + offered) : std::nullopt);
    TearDown();
    SetUp();
  }
}

std::wstring text_of(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}

int client_top(HWND window, int id) {
  RECT rect;
  GetWindowRect(GetDlgItem(window, id), &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect.top;
}

int client_height(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return rect.bottom;
}

TEST_F(UpdateScheduleTest, SettingsOpenedForUpdatesChecksAtOnce) {
  AppSettings settings;
  settings.check_for_updates = false;
  MainWindowState& state = start(settings);
  testing::ModalScript script(L"WrenfoldSettings");
  const auto wait_for_the_check = [&script] {
    // The check against the closed port fails within moments.
    for (int tick = 0; tick < 40; ++tick) script.then([](HWND) {});
  };
  wait_for_the_check();
  script.then([&state](HWND window) {
    ASSERT_TRUE(state.last_update_check_result) << "opening for updates starts a check";
    EXPECT_EQ(text_of(window, 32).rfind(L"Couldn't check for updates: ", 0), 0u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 31)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, 35)));
    state.last_update_check_result.reset();
    // The result can only arrive once this step has returned to the window's loop.
    SendMessageW(GetDlgItem(window, 31), BM_CLICK, 0, 0);
    EXPECT_EQ(text_of(window, 32), L"Checking...");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 31)));
  });
  wait_for_the_check();
  script.then([&state](HWND window) {
    ASSERT_TRUE(state.last_update_check_result);
    EXPECT_EQ(text_of(window, 32).rfind(L"Couldn't check for updates: ", 0), 0u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 31)));
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  ASSERT_TRUE(script.run([&state] { open_settings(state.main_window, true); }));
  EXPECT_TRUE(requests_.empty());
}

TEST_F(UpdateScheduleTest, SettingsShowTheKeptOfferAndTheNextResult) {
  AppSettings settings;
  settings.check_for_updates = false;
  MainWindowState& state = start(settings);
  UpdateCheckResult offer;
  offer.outcome = UpdateCheckOutcome::Available;
  offer.version = u"2.3";
  offer.notes = u"Faster search.";
  state.last_update_check_result = offer;

  testing::ModalScript script(L"WrenfoldSettings");
  script.then([&state](HWND window) {
    EXPECT_EQ(text_of(window, 33), L"Wrenfold 2.3 is available");
    EXPECT_EQ(text_of(window, 34), L"Faster search.");
    EXPECT_EQ(text_of(window, 32), L"");
    for (int id : {33, 34, 35, 36, 37}) EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, id))) << id;
    EXPECT_EQ(client_height(window), 676);
    EXPECT_EQ(client_top(window, 52), 556);
    EXPECT_EQ(client_top(window, 2), 636);
    EXPECT_EQ(GetFocus(), GetDlgItem(window, 35)) << "opened for updates: Update now";

    auto up_to_date = std::make_unique<UpdateCheckResult>();
    up_to_date->outcome = UpdateCheckOutcome::UpToDate;
    on_update_check_result(state, std::move(up_to_date));
    EXPECT_EQ(text_of(window, 32), L"Wrenfold is up to date (2.0.1).");
    for (int id : {33, 34, 35, 36, 37}) EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, id))) << id;
    EXPECT_EQ(client_height(window), 540);
    EXPECT_EQ(client_top(window, 52), 420);
    EXPECT_EQ(client_top(window, 2), 500);

    on_update_check_result(state, std::make_unique<UpdateCheckResult>());
    EXPECT_EQ(text_of(window, 32), L"Couldn't check for updates.");
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  ASSERT_TRUE(script.run([&state] { open_settings(state.main_window, true); }));
}

}  // namespace
}  // namespace wrenfold::ui
