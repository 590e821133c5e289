#include "commands.h"

#include "font_size.h"

#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "editor.h"
#include "document.h"
#include "edits.h"
#include "fatal.h"
#include "find_window.h"
#include "font_size.h"
#include "format_menus.h"
#include "go_to_window.h"
#include "layout.h"
#include "main_window.h"
#include "main_window_state.h"
#include "menubar.h"
#include "new_window.h"
#include "popup.h"
#include "print.h"
#include "settings_change.h"
#include "settings_page.h"
#include "statusbar.h"
#include "theme.h"
#include "theme_hooks.h"

namespace wrenfold::ui {
namespace {

void append_items(HMENU popup, std::initializer_list<std::pair<unsigned, const wchar_t*>> items) {
  for (const auto& [command, label] : items) {
    if (label == nullptr) {
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(popup, MF_STRING, command, label);
    }
  }
}

void select_all(HWND editor) { set_editor_selection(editor, 0, editor_text_length(editor)); }

void insert_time_and_date(HWND editor) {
  wchar_t time[64] = {};
  wchar_t date[64] = {};
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, time, 64);
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64, nullptr);
  std::u16string text(reinterpret_cast<const char16_t*>(time));
  text += u' ';
  text += reinterpret_cast<const char16_t*>(date);
  replace_selection_as_step(editor, text);
}

using LineEdit = std::optional<TextEdit> (*)(std::u16string_view, std::size_t, std::size_t);

void run_line_edit(MainWindowState& state, LineEdit edit) {
  const EditorSelectionRange selection = editor_selection(state.editor);
  const std::shared_ptr<const std::u16string> text = editor_text(state);
  if (const std::optional<TextEdit> result = edit(*text, selection.start, selection.end)) {
    apply_edit(state.editor, *result);
  }
}

// Flips one view flag here and in the file, leaving whatever else other windows saved.
void toggle_view_setting(MainWindowState& state, bool AppSettings::*flag) {
  const bool value = !(state.settings.read().*flag);
  store_settings_change(state, [&](AppSettings& settings) { settings.*flag = value; });
  apply_view_settings(state);
}

EditorTextFormat wanted_text_format(const AppSettings& settings, const ThemeColors& palette) {
  const std::size_t length = std::min<std::size_t>(settings.font_family.size(), LF_FACESIZE - 1);
  return EditorTextFormat{settings.font_family.substr(0, length),
                          std::lround(usable_font_points(settings.font_size_points) * 20.0),
                          settings.font_bold, settings.font_italic, palette.text, palette.background};
}

void set_editor_character_format(MainWindowState& state, const AppSettings& settings, const ThemeColors& palette) {
  const EditorTextFormat wanted = wanted_text_format(settings, palette);
  if (state.applied_text_format == wanted) return;
  const std::size_t length = wanted.face.size();
  CHARFORMAT2W format = {};
  format.dwMask = CFM_SIZE | CFM_FACE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
  format.yHeight = wanted.height_twips;
  format.dwEffects = (settings.font_bold ? CFE_BOLD : 0) | (settings.font_italic ? CFE_ITALIC : 0);
  format.bCharSet = DEFAULT_CHARSET;
  std::copy_n(wanted.face.begin(), length, format.szFaceName);
  // Colours go in the same pass: formatting the whole text twice costs on large documents.
  set_editor_format(state.editor, format, palette);
  state.applied_text_format = wanted;
}

}  // namespace

HMENU build_main_menu() {
  HMENU file = CreatePopupMenu();
  append_items(file, {{kCommandNew, L"&New\tCtrl+N"},
                      {kCommandOpen, L"&Open\tCtrl+O"},
                      {kCommandSave, L"&Save\tCtrl+S"},
                      {kCommandSaveAs, L"Save &as\tCtrl+Shift+S"},
                      {0, nullptr},
                      {kCommandPrint, L"&Print\tCtrl+P"},
                      {0, nullptr},
                      {kCommandExit, L"E&xit"}});
  HMENU edit = CreatePopupMenu();
  append_items(edit, {{kCommandCut, L"Cu&t\tCtrl+X"},
                      {kCommandCopy, L"&Copy\tCtrl+C"},
                      {kCommandPaste, L"&Paste\tCtrl+V"},
                      {0, nullptr},
                      {kCommandFind, L"&Find\tCtrl+F"},
                      {kCommandReplace, L"&Replace\tCtrl+H"},
                      {kCommandGoTo, L"&Go to\tCtrl+G"},
                      {0, nullptr},
                      {kCommandSelectAll, L"Select &all\tCtrl+A"}});
  HMENU zoom = CreatePopupMenu();
  append_items(zoom, {{kCommandZoomIn, L"Zoom &in\tCtrl+Plus"},
                      {kCommandZoomOut, L"Zoom &out\tCtrl+Minus"},
                      {kCommandRestoreZoom, L"&Restore default zoom\tCtrl+0"}});
  HMENU view = CreatePopupMenu();
  AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(zoom), L"&Zoom");
  append_items(view, {{kCommandStatusBar, L"&Status bar"},
                      {kCommandWordWrap, L"&Word wrap"},
                      {kCommandLineNumbers, L"&Line numbers"}});
  HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
  return menu;
}

void refresh_menu_theme(MainWindowState& state) {
  if (state.main_menu == nullptr) return;
  for (int index = 0; index < kMenuBarTitleCount; ++index) {
    set_popup_menu_background(GetSubMenu(state.main_menu, index));
  }
  const AppSettings settings = state.settings.read();
  const auto check = [&](unsigned command, bool on) {
    CheckMenuItem(state.main_menu, command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  };
  check(kCommandStatusBar, settings.status_bar);
  check(kCommandWordWrap, settings.word_wrap);
  check(kCommandLineNumbers, settings.line_numbers);
}

void update_edit_menu(MainWindowState& state) {
  const EditorSelectionRange selection = editor_selection(state.editor);
  const UINT enable = MF_BYCOMMAND | (selection.start == selection.end ? MF_GRAYED : MF_ENABLED);
  EnableMenuItem(state.main_menu, kCommandCut, enable);
  EnableMenuItem(state.main_menu, kCommandCopy, enable);
}

void apply_view_settings(MainWindowState& state) {
  const AppSettings settings = state.settings.read();
  const ThemeColors palette = resolve_palette(settings.theme);
  const bool lays_text_out_again = state.applied_text_format != wanted_text_format(settings, palette) ||
                                   state.applied_word_wrap != settings.word_wrap ||
                                   state.applied_zoom_numerator != editor_zoom_numerator(state) ||
                                   editor_size_changes(state);
  if (lays_text_out_again && relayout_in_new_editor(state)) return;

  // Formatting the text is the program's own doing, not an edit of the document.
  const bool was_loading = state.loading;
  state.loading = true;
  set_editor_character_format(state, settings, palette);
  if (state.applied_word_wrap != settings.word_wrap) {
    SendMessageW(state.editor, EM_SETTARGETDEVICE, 0, settings.word_wrap ? 0 : 1);
    state.applied_word_wrap = settings.word_wrap;
  }
  state.loading = was_loading;
  zoom_step(state);

  if (state.status_bar != nullptr) ShowWindow(state.status_bar, settings.status_bar ? SW_SHOW : SW_HIDE);
  if (state.gutter != nullptr) ShowWindow(state.gutter, settings.line_numbers ? SW_SHOW : SW_HIDE);
  // Title bar, editor theme, check marks, repaint, the Find window, layout.
  apply_theme_to_windows(state, palette);
}

void dispatch_command(MainWindowState& state, unsigned command) {
  HWND editor = state.editor;
  switch (command) {
    case kCommandNew: new_document(state); break;
    case kCommandOpen: open_document(state); break;
    case kCommandSave: save(state); break;
    case kCommandSaveAs: save_as(state); break;
    case kCommandPrint: print_document(state); break;
    case kCommandExit: request_exit(state); break;
    case kCommandNewWindow: open_new_window(state); break;
    case kCommandCut: SendMessageW(editor, WM_CUT, 0, 0); break;
    case kCommandCopy: SendMessageW(editor, WM_COPY, 0, 0); break;
    case kCommandPaste: SendMessageW(editor, WM_PASTE, 0, 0); break;
    case kCommandGoTo: show_go_to_line(state); break;
    case kCommandFind: open_find_window(state, false); break;
    case kCommandReplace: open_find_window(state, true); break;
    case kCommandFindNext: find_again(state, false); break;
    case kCommandFindPrevious: find_again(state, true); break;
    case kCommandSelectAll: select_all(editor); break;
    case kCommandUndo: SendMessageW(editor, EM_UNDO, 0, 0); break;
    case kCommandDelete: SendMessageW(editor, WM_CLEAR, 0, 0); break;
    case kCommandInsertTimeAndDate: insert_time_and_date(editor); break;
    case kCommandDuplicate: run_line_edit(state, duplicate_lines); break;
    case kCommandMoveLineUp: run_line_edit(state, move_lines_up); break;
    case kCommandMoveLineDown: run_line_edit(state, move_lines_down); break;
    case kCommandZoomIn: set_zoom(state, zoom_in(state.zoom)); break;
    case kCommandZoomOut: set_zoom(state, zoom_out(state.zoom)); break;
    case kCommandRestoreZoom: set_zoom(state, 1.0); break;
    case kCommandStatusBar: toggle_view_setting(state, &AppSettings::status_bar); break;
    case kCommandWordWrap: toggle_view_setting(state, &AppSettings::word_wrap); break;
    case kCommandLineNumbers: toggle_view_setting(state, &AppSettings::line_numbers); break;
    case kCommandSettings: open_settings(state.main_window, false); break;
    case kCommandSettingsForUpdate: open_settings(state.main_window, true); break;
    case kCommandLineEndingMenu: show_format_menu(state, true); break;
    case kCommandEncodingMenu: show_format_menu(state, false); break;
    default: break;
  }
}

}  // namespace wrenfold::ui
