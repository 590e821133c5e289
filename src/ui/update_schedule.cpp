#include "update_schedule.h"

#include <windows.h>

#include <array>
#include <thread>

#include "dialogs.h"
#include "main_window.h"
#include "main_window_state.h"
#include "settings_change.h"
#include "settings_page.h"
#include "statusbar.h"
#include "timestamp.h"
#include "update_check.h"
#include "version.h"

namespace wrenfold::ui {
namespace {

constexpr UINT kConsentDelayMs = 2000;
constexpr int kCheckAutomatically = IDYES;  // 6
constexpr int kDontCheck = IDNO;            // 7

std::u16string maker_domain() { return reinterpret_cast<const char16_t*>(kMakerDomain); }

bool is_newer_version(std::u16string_view text) {
  const std::optional<Version> version = parse_version(text);
  return version && *version > kProgramVersion;
}

void show_available_update(MainWindowState& state, std::optional<std::u16string> version) {
  state.available_update = std::move(version);
  refresh_status_bar(state);
}

}  // namespace

void schedule_update_check_at_startup(MainWindowState& state, const AppSettings& settings) {
  set_update_consent_hook(ask_update_consent);
  if (const std::optional<std::u16string>& offered = settings.available_update) {
    if (is_newer_version(*offered)) {
      show_available_update(state, *offered);
    } else {
      // Installed by now (or unreadable): forget it, unless another window stored a new one.
      state.settings.use()->available_update.reset();
      std::optional<AppSettings> stored = load_settings_to_change(state.settings_path);
      if (stored && stored->available_update == offered) {
        stored->available_update.reset();
        save_settings(state.settings_path, *stored);
      }
    }
  }
  if (!settings.check_for_updates) {
    SetTimer(state.main_window, kTimerUpdateConsent, kConsentDelayMs, nullptr);
  } else if (*settings.check_for_updates &&
             update_check_due(settings.last_update_check, unix_seconds_now())) {
    start_update_check(state);
  }
}

void ask_update_consent(MainWindowState& state) {
  KillTimer(state.main_window, kTimerUpdateConsent);
  if (state.message_dialog_open) return;
  const std::array<MessageButton, 2> buttons = {
      MessageButton{kCheckAutomatically, u"Check automatically"},
      MessageButton{kDontCheck, u"Don't check"}};
  const int answer = show_message(
      u"Check for updates?",
      u"Wrenfold can check " + maker_domain() +
          u" for a newer version, at most once a day. Nothing is installed without asking.\n\n"
          u"You can change this later in Settings.",
      buttons, kCheckAutomatically, kDontCheck);
  const bool automatically = answer == kCheckAutomatically;
  store_settings_change(state, [automatically](AppSettings& settings) {
    settings.check_for_updates = automatically;
  });
  if (automatically) start_update_check(state);
}

void start_update_check(MainWindowState& state) {
  std::thread(run_update_check, state.main_window).detach();
}

void check_for_updates_now() {
  show_update_check_running();
  start_update_check(main_window_state());
}

void on_update_check_result(MainWindowState& state, std::unique_ptr<UpdateCheckResult> result) {
  if (!result) return;
  if (result->outcome != UpdateCheckOutcome::Failed) {
    const std::u16string checked = format_utc_timestamp(unix_seconds_now());
    std::optional<std::u16string> offered;
    if (result->outcome == UpdateCheckOutcome::Available) offered = result->version;
    store_settings_change(state, [&](AppSettings& settings) {
      settings.last_update_check = checked;
      settings.available_update = offered;
    });
    show_available_update(state, offered);
  }
  state.last_update_check_result = std::move(*result);
  refresh_update_area(*state.last_update_check_result);
}

}  // namespace wrenfold::ui
