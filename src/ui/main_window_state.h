#pragma once
// The one record per process behind the main window, reached from every window procedure
// through the per-thread slot.

#include <windows.h>
#include <richedit.h>
#include <tom.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "codec.h"
#include "editor_lines.h"
#include "search.h"
#include "settings.h"
#include "updates.h"
#include "whole_text_steps.h"
#include "win32_handles.h"

namespace wrenfold::ui {

struct RecoveryKeeper;  // recovery.cpp

// The working copy of the settings. Every access is counted, so that a use that starts
// while another is still running (a re-entrant message) is caught instead of silently
// overwriting the other's changes.
class GuardedSettings {
 public:
  explicit GuardedSettings(AppSettings settings) : settings_(std::move(settings)) {}

  class Use {
   public:
    explicit Use(GuardedSettings& owner);
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    ~Use() { --owner_.uses_; }
    AppSettings* operator->() { return &owner_.settings_; }
    AppSettings& operator*() { return owner_.settings_; }

   private:
    GuardedSettings& owner_;
  };

  Use use() { return Use(*this); }

  // A copy, for code that sends messages (which may re-enter) while it reads the settings.
  AppSettings read() {
    Use current(*this);
    return *current;
  }

 private:
  AppSettings settings_;
  int uses_ = 0;
};

// The editor text's character format and colours as the view settings last set them.
struct EditorTextFormat {
  std::u16string face;
  long height_twips = 0;
  bool bold = false;
  bool italic = false;
  COLORREF text = 0;
  COLORREF background = 0;
  bool operator==(const EditorTextFormat&) const = default;
};

struct MainWindowState {
  explicit MainWindowState(AppSettings loaded) : settings(std::move(loaded)) {}

  std::u16string settings_path;
  HWND main_window = nullptr;
  HWND editor = nullptr;
  HWND gutter = nullptr;
  HWND status_bar = nullptr;
  HWND menu_bar = nullptr;
  HMENU main_menu = nullptr;
  ComPtr<ITextDocument> text_document;  // absent when the editor does not offer it
  GuardedSettings settings;
  std::optional<std::u16string> current_file;
  std::shared_ptr<const std::u16string> cached_text;  // dropped on every change
  EditorLineTracking lines;
  double zoom = 1.0;
  std::optional<std::u16string> transient_message;
  std::optional<std::u16string> available_update;  // a newer version, for the status bar
  std::optional<UpdateCheckResult> last_update_check_result;  // none until a check finishes
  bool download_running = false;  // an installer download is on its way
  UniqueFont gutter_font;
  POINT last_scroll_position = {0, 0};
  std::optional<unsigned> last_line_count;
  UniqueHandle instance_mutex;
  std::optional<RECT> normal_placement;
  unsigned digit_width = 8;
  float default_tab_stop = 36.0f;
  bool modified = false;
  bool loading = false;
  bool closing = false;
  bool margin_update = false;
  bool text_changed = false;
  bool message_dialog_open = false;  // one task dialog at a time (show_message)
  // What the editor's whole text was last formatted, wrapped and zoomed with: each of these
  // lays out the whole text again, so a view change sends only what differs.
  std::optional<EditorTextFormat> applied_text_format;
  std::optional<bool> applied_word_wrap;
  std::optional<long long> applied_zoom_numerator;

  // The document's file format.
  Encoding encoding = Encoding::Utf8;
  LineEnding line_ending = LineEnding::Windows;
  // The file as last read or written: (last-write time, size); none before that and after
  // the file vanished.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> disk_stamp;
  bool change_check_running = false;  // the check asks a modal question; activations go on
  // Ill-formed sequences the last load replaced with U+FFFD; the next save asks first.
  std::size_t decode_replacements = 0;
  // Characters of the last loaded text that the editor control didn't keep (U+0000 in a
  // control that drops them); the next save asks first.
  std::size_t load_lost_units = 0;

  // The one Replace All step the editor control doesn't hold, and its redo.
  std::optional<WholeTextStep> whole_text_undo;
  std::optional<WholeTextStep> whole_text_redo;
  // Replacements spanning more units than this go to a new control (tests lower it).
  std::size_t replace_in_new_editor_above = kReplaceInNewEditorAbove;

  SearchMemory search;

  // The window's recovery file and its writer; none until the document is first modified.
  std::shared_ptr<RecoveryKeeper> recovery;
};

// Fails fast with "the main window exists" when the slot is empty.
MainWindowState& main_window_state();

// The state, or nothing before start-up has created it.
MainWindowState* find_main_window_state();

void install_main_window_state(std::unique_ptr<MainWindowState> state);

// Empties the slot; only tests that create several main windows in one process need it.
void remove_main_window_state();

}  // namespace wrenfold::ui
