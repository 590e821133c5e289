// The real main window under Wine: started in-process, driven with messages and keyboard
// state, checked by its state, editor text, title and settings file.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"
#include "document.h"
#include "editor.h"
#include "find_options.h"
#include "find_window.h"
#include "gutter.h"
#include "layout.h"
#include "main_window.h"
#include "main_window_state.h"
#include "message_loop.h"
#include "search.h"
#include "search_editor.h"
#include "settings.h"
#include "startup.h"
#include "statusbar.h"
#include "theme.h"
#include "main_window_fixture.h"
#include "pump.h"
#include "stand_in_text_model.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::wide;
using testing::temp_folder;
using testing::set_modifiers;

using testing::pump;

std::u16string group_free_count(std::size_t count) {
  std::u16string digits;
  for (char c : std::to_string(count)) digits += static_cast<char16_t>(c);
  return digits + u" characters";
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    settings_path_ = temp_folder() + u"wrenfold-ui-test-settings.json";
    DeleteFileW(wide(settings_path_));
    AppSettings settings;
    settings.check_for_updates = false;
    settings.word_wrap = false;
    ASSERT_TRUE(save_settings(settings_path_, settings).ok());
  }

  MainWindowState& start(std::u16string command_line = u"ui_tests.exe") {
    StartOptions options;
    options.settings_path = settings_path_;
    options.command_line = std::move(command_line);
    MainWindowState& state = start_main_window(GetModuleHandleW(nullptr), options);
    pump(state, 50);
    return state;
  }

  void TearDown() override {
    set_modifiers(false, false, false);
    testing::end_main_window();
    DeleteFileW(wide(settings_path_));
    OleUninitialize();
  }

  static void type(MainWindowState& state, std::u16string_view text) {
    for (char16_t unit : text) SendMessageW(state.editor, WM_CHAR, unit, 1);
  }

  static void key(MainWindowState& state, UINT virtual_key, bool ctrl = false, bool shift = false,
                  bool alt = false) {
    set_modifiers(ctrl, shift, alt);
    PostMessageW(state.editor, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtual_key, 1);
    PostMessageW(state.editor, alt ? WM_SYSKEYUP : WM_KEYUP, virtual_key, 0xC0000001);
    pump(state, 20);
    set_modifiers(false, false, false);
  }

  static std::u16string text(MainWindowState& state) {
    state.cached_text.reset();
    return *editor_text(state);
  }

  static std::u16string title(MainWindowState& state) {
    wchar_t buffer[256] = {};
    GetWindowTextW(state.main_window, buffer, 256);
    return reinterpret_cast<const char16_t*>(buffer);
  }

  static void load(MainWindowState& state, std::u16string content) { replace_all_text(state, std::move(content)); }

  std::u16string settings_path_;
};

TEST(ShortcutTable, RowsAndTheirConditions) {
  struct Row {
    UINT key;
    KeyModifiers modifiers;
    bool for_editor;
    KeyAction action;
    unsigned command;
    const char* why;
  };
  const KeyModifiers none{};
  const KeyModifiers ctrl{true, false, false};
  const KeyModifiers ctrl_shift{true, true, false};
  const KeyModifiers shift{false, true, false};
  const KeyModifiers alt{false, false, true};
  const KeyModifiers ctrl_alt{true, false, true};
  const std::vector<Row> rows = {
      {'N', ctrl_shift, false, KeyAction::Command, 107, "new window anywhere"},
      {'S', ctrl_shift, true, KeyAction::Command, 104, "save as"},
      {'L', ctrl_shift, true, KeyAction::Swallow, 0, "Ctrl+Shift+L in the editor does nothing"},
      {'L', ctrl_shift, false, KeyAction::Pass, 0, "outside the editor it is not swallowed"},
      {VK_OEM_PLUS, ctrl_shift, true, KeyAction::Swallow, 0, "no superscript"},
      {'F', ctrl, false, KeyAction::Command, 204, "find"},
      {'H', ctrl, true, KeyAction::Command, 205, "replace"},
      {'G', ctrl, true, KeyAction::Command, 206, "go to"},
      {'0', ctrl, true, KeyAction::Command, 303, "restore zoom"},
      {VK_NUMPAD0, ctrl, true, KeyAction::Command, 303, "restore zoom from the keypad"},
      {VK_ADD, ctrl, false, KeyAction::Command, 301, "zoom in"},
      {VK_OEM_MINUS, ctrl, false, KeyAction::Command, 302, "zoom out"},
      {'D', ctrl, true, KeyAction::Command, 213, "duplicate in the editor"},
      {'D', ctrl, false, KeyAction::Pass, 0, "Ctrl+D outside the editor does nothing"},
      {'L', ctrl, true, KeyAction::Swallow, 0, "Ctrl+L would align the paragraph"},
      {VK_OEM_4, ctrl, true, KeyAction::Swallow, 0, "Ctrl+[ would change the font size"},
      {'A', ctrl, true, KeyAction::Pass, 0, "select all stays with the editor"},
      {'Z', ctrl, true, KeyAction::Pass, 0, "undo stays with the editor"},
      {'F', ctrl_alt, true, KeyAction::Pass, 0, "Ctrl rows need Alt up"},
      {VK_F3, shift, false, KeyAction::Command, 211, "find previous"},
      {VK_TAB, shift, true, KeyAction::Outdent, 0, "outdent"},
      {VK_RETURN, shift, true, KeyAction::NewLineWithIndent, 0, "Shift+Enter keeps the indent too"},
      {VK_UP, alt, true, KeyAction::Command, 214, "move line up"},
      {VK_DOWN, alt, true, KeyAction::Command, 215, "move line down"},
      {VK_UP, alt, false, KeyAction::Pass, 0, "only in the editor"},
      {VK_F3, none, false, KeyAction::Command, 210, "find next"},
      {VK_TAB, none, true, KeyAction::Indent, 0, "indent"},
      {VK_TAB, none, false, KeyAction::Pass, 0, "Tab moves focus elsewhere"},
      {VK_RETURN, none, true, KeyAction::NewLineWithIndent, 0, "Enter"},
      {VK_F5, none, true, KeyAction::Command, 212, "time and date"},
      {'X', none, true, KeyAction::Pass, 0, "plain letters"},
  };
  for (const Row& row : rows) {
    const Shortcut shortcut = shortcut_for(row.key, row.modifiers, row.for_editor);
    EXPECT_EQ(shortcut.action, row.action) << row.why;
    EXPECT_EQ(shortcut.command, row.command) << row.why;
  }
}

TEST(Placement, OnlyUsablePlacementsAreTaken) {
  const auto everywhere = [](const RECT&) { return true; };
  const auto nowhere = [](const RECT&) { return false; };
  const WindowPlacement saved{100, 100, 800, 600, false};
  EXPECT_EQ(choose_placement(u"10,20,300,200,True", saved, everywhere),
            (WindowPlacement{10, 20, 300, 200, true}));
  EXPECT_EQ(choose_placement(u"10,20,199,200,False", saved, everywhere), std::nullopt)
      << "too narrow: the system default, not the saved one";
  EXPECT_EQ(choose_placement(u"10,20,300,149,False", saved, everywhere), std::nullopt);
  EXPECT_EQ(choose_placement(u"not a placement", saved, everywhere), saved);
  EXPECT_EQ(choose_placement(std::nullopt, saved, everywhere), saved);
  EXPECT_EQ(choose_placement(std::nullopt, saved, nowhere), std::nullopt) << "off every monitor";
  EXPECT_EQ(choose_placement(std::nullopt, std::nullopt, everywhere), std::nullopt);
}

TEST(Layout, ArithmeticAtDifferentDpis) {
  EXPECT_EQ(gutter_width(1, 12, 96), 48);
  EXPECT_EQ(gutter_width(99, 12, 96), 48);
  EXPECT_EQ(gutter_width(100, 12, 96), 60);
  LayoutInput input{1000, 700, 144, true, true, 5, 10};
  const ChildRects rects = compute_layout(input);
  EXPECT_EQ(rects.menu_bar.bottom, 60);
  EXPECT_EQ(rects.status_bar.top, 700 - 42);
  EXPECT_EQ(rects.gutter.right, 2 * 10 + 2 * 18);
  EXPECT_EQ(rects.editor.left, rects.gutter.right);
  EXPECT_EQ(rects.editor.bottom, rects.status_bar.top);
  const RECT margins = editor_text_rect(500, 300, 96);
  EXPECT_EQ(margins.left, 12);
  EXPECT_EQ(margins.top, 8);
  EXPECT_EQ(margins.right, 496);
  EXPECT_EQ(margins.bottom, 292);
}

TEST_F(ShellTest, StartsUntitledAndTracksChanges) {
  MainWindowState& state = start();
  EXPECT_EQ(title(state), u"Untitled - Wrenfold");
  EXPECT_EQ(current_status_snapshot().position, u"Ln 1, Col 1");
  EXPECT_EQ(current_status_snapshot().count, u"0 characters");
  EXPECT_FALSE(current_status_snapshot().zoom.has_value());

  const std::uint64_t before = status_bar_repaint_count();
  type(state, u"hello world");
  EXPECT_TRUE(state.modified);
  EXPECT_EQ(title(state), u"*Untitled - Wrenfold");
  pump(state, 150);
  EXPECT_EQ(status_bar_repaint_count() - before, 1u) << "a burst of typing costs one refresh";
  EXPECT_EQ(current_status_snapshot().position, u"Ln 1, Col 12");
  EXPECT_EQ(current_status_snapshot().count, u"11 characters");
}

TEST_F(ShellTest, StatusBarCountsLinesEndedByCrWhetherOrNotTheyWrap) {
  MainWindowState& state = start();
  std::u16string long_line;
  while (long_line.size() < 3000) long_line += u"word ";
  const std::u16string text = long_line + u"\rsecond\rthird";
  for (const bool wrap : {false, true}) {
    SCOPED_TRACE(wrap ? "word wrap on" : "word wrap off");
    if (state.settings.read().word_wrap != wrap) dispatch_command(state, kCommandWordWrap);
    load(state, text);
    pump(state, 50);
    if (wrap) {
      ASSERT_GT(SendMessageW(state.editor, EM_GETLINECOUNT, 0, 0), 4) << "the first line wraps";
    }

    // Deep inside the wrapped line: still line 1, and the column counts from the line's start.
    set_editor_selection(state.editor, 2500, 2500);
    pump(state, 100);
    EXPECT_EQ(current_status_snapshot().position, u"Ln 1, Col 2501");

    set_editor_selection(state.editor, long_line.size() + 1 + 3, long_line.size() + 1 + 3);
    pump(state, 100);
    EXPECT_EQ(current_status_snapshot().position, u"Ln 2, Col 4");

    // A keystroke's refresh asks the control, not a copy of the whole text.
    state.cached_text.reset();
    const std::uint64_t rebuilds = state.lines.rebuilds;
    type(state, u"x");
    pump(state, 100);
    EXPECT_EQ(current_status_snapshot().position, u"Ln 2, Col 5");
    EXPECT_EQ(state.cached_text, nullptr) << "the refresh read the whole text";
    EXPECT_EQ(state.lines.rebuilds, rebuilds) << "the refresh counted the lines over the whole text";
  }
}

// Where the text object model answers, its paragraphs give the line; where it doesn't (Wine),
// the program's own index does: both must show the same numbers, on and below wrapped lines.
TEST_F(ShellTest, TheTextModelAndTheFallbackAgreeOnLineNumbers) {
  MainWindowState& state = start();
  if (!state.settings.read().word_wrap) dispatch_command(state, kCommandWordWrap);
  if (!state.settings.read().line_numbers) dispatch_command(state, kCommandLineNumbers);
  std::u16string long_line;
  while (long_line.size() < 1500) long_line += u"word ";
  const std::u16string text = long_line + u"\rsecond\r" + long_line + u"\rlast";
  load(state, text);
  pump(state, 50);
  ASSERT_GT(SendMessageW(state.editor, EM_GETLINECOUNT, 0, 0), 6) << "the long lines wrap";

  struct Seen {
    std::vector<std::uint64_t> lines;
    std::vector<std::u16string> positions;
    std::vector<std::vector<GutterLabel>> gutters;
  };
  const std::vector<std::size_t> carets = {0, 700, long_line.size() + 3, 2 * long_line.size() + 8,
                                           text.size()};
  const auto look = [&]() {
    Seen seen;
    for (const std::size_t caret : carets) {
      set_editor_selection(state.editor, caret, caret);
      SendMessageW(state.editor, EM_SCROLLCARET, 0, 0);
      pump(state, 60);
      // On a busy machine the 40 ms timer can miss the wait; what is compared here is the
      // line numbering, not the timer.
      refresh_after_edit_now(state);
      seen.lines.push_back(editor_line_index(state, caret));
      seen.positions.push_back(current_status_snapshot().position);
      seen.gutters.push_back(gutter_labels(state));
    }
    return seen;
  };

  ComPtr<ITextDocument> wine_model = std::move(state.text_document);
  const Seen fallback = look();
  auto* model = new testing::StandInTextDocument(state.editor);
  state.text_document.reset(model);
  const Seen modelled = look();
  EXPECT_GT(model->ranges_asked, 0) << "the model was asked";
  state.text_document = std::move(wine_model);

  EXPECT_EQ(fallback.lines, (std::vector<std::uint64_t>{0, 0, 1, 2, 3}));
  EXPECT_EQ(modelled.lines, fallback.lines);
  EXPECT_EQ(fallback.positions[1], u"Ln 1, Col 701");
  const std::string column = std::to_string(long_line.size() + 1);
  EXPECT_EQ(fallback.positions[3], u"Ln 3, Col " + std::u16string(column.begin(), column.end()));
  EXPECT_EQ(modelled.positions, fallback.positions);
  for (std::size_t i = 0; i < carets.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(fallback.gutters[i].empty());
    EXPECT_EQ(modelled.gutters[i], fallback.gutters[i]);
    const auto caret_label = std::find_if(fallback.gutters[i].begin(), fallback.gutters[i].end(),
                                          [](const GutterLabel& label) { return label.caret_line; });
    ASSERT_NE(caret_label, fallback.gutters[i].end()) << "the caret's line is highlighted";
    EXPECT_EQ(caret_label->number, fallback.lines[i] + 1);
  }
}

// After each kind of edit the line numbers still match a count over the text itself; typing,
// deleting, cutting and the program's replacements keep them without the whole text (paste
// and undo may rebuild once).
TEST_F(ShellTest, LineNumbersFollowEveryKindOfEditWithoutRecounting) {
  MainWindowState& state = start();
  dispatch_command(state, kCommandWordWrap);
  ASSERT_TRUE(state.settings.read().word_wrap);
  std::u16string long_line;
  while (long_line.size() < 2000) long_line += u"word ";
  load(state, u"first\r" + long_line + u"\rthird\rfourth");
  pump(state, 50);
  const std::uint64_t rebuilds = state.lines.rebuilds;
  // The text as last read with the edits since patched in must be the control's text after
  // every edit the index placed; after the others there must be no such copy.
  const auto expect_lines_match = [&state](const char* after, bool placed = true) {
    SCOPED_TRACE(after);
    const std::optional<std::u16string> held = editor_text_range(state.editor, 0, editor_text_length(state.editor));
    ASSERT_TRUE(held);
    const std::u16string& content = *held;
    const std::shared_ptr<const std::u16string> patched = patched_editor_text(state);
    if (placed) {
      ASSERT_NE(patched, nullptr);
      EXPECT_EQ(*patched, content);
    } else {
      EXPECT_EQ(patched, nullptr);
    }
    state.cached_text.reset();
    const LineBreakIndex& lines = current_line_breaks(state);
    ASSERT_EQ(lines.length(), content.size());
    EXPECT_EQ(lines.line_count(), 1 + static_cast<std::uint64_t>(std::count(content.begin(), content.end(), u'\r')));
    for (std::size_t position = 0; position <= content.size(); position += 97) {
      ASSERT_EQ(lines.line_of(position), static_cast<std::uint64_t>(std::count(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(position), u'\r')));
    }
  };
  const auto caret_to = [&state](std::size_t at) { set_editor_selection(state.editor, at, at); };

  caret_to(3);
  type(state, u"ab");
  key(state, VK_RETURN);
  type(state, u"c");
  expect_lines_match("typing with Enter");
  key(state, VK_BACK);
  key(state, VK_BACK);
  expect_lines_match("Backspace over a line break");
  caret_to(0);
  key(state, VK_DELETE);
  key(state, VK_DELETE, true);
  expect_lines_match("Delete and Ctrl+Delete");
  set_editor_selection(state.editor, 2, 40);
  SendMessageW(state.editor, WM_CUT, 0, 0);
  expect_lines_match("cut across lines");
  apply_edit(state.editor, TextEdit{1, 30, u"x\ry\rz", 4, 4});
  expect_lines_match("a selection replaced by the program");
  EXPECT_EQ(state.lines.rebuilds, rebuilds) << "an edit left the index to be rebuilt from the whole text";
  caret_to(5);
  SendMessageW(state.editor, WM_PASTE, 0, 0);
  SendMessageW(state.editor, WM_PASTE, 0, 0);
  expect_lines_match("paste", false);
  SendMessageW(state.editor, EM_UNDO, 0, 0);
  expect_lines_match("undo", false);
  SendMessageW(state.editor, EM_REDO, 0, 0);
  expect_lines_match("redo", false);
  const std::uint64_t before_replace = state.lines.rebuilds;
  set_editor_selection(state.editor, 0, static_cast<std::size_t>(-1));
  replace_selection_as_step(state.editor, u"one\rtwo\r\rthree");
  expect_lines_match("the whole text replaced");
  EXPECT_EQ(state.lines.rebuilds, before_replace);

  pump(state, 100);
  caret_to(9);
  pump(state, 100);
  EXPECT_EQ(current_status_snapshot().position, u"Ln 4, Col 1");
  EXPECT_EQ(editor_line_count(state), 4u);
}

// Over a large text a load puts a new control in the old one's place: it must be the same
// editor in every setting, and the old one must go.
TEST_F(ShellTest, ALoadOverALargeTextGivesANewEditorWithEverySetting) {
  MainWindowState& state = start();
  state.settings.use()->theme = Theme::Dark;
  state.settings.use()->font_size_points = 14;
  apply_theme(state);
  // Wrap off is not the control's own default either.
  ASSERT_FALSE(state.settings.read().word_wrap);
  dispatch_command(state, kCommandLineNumbers);
  dispatch_command(state, kCommandZoomIn);
  std::u16string large;
  while (large.size() <= kRenewEditorAbove) large += u"a line of a large document, sixty characters long or so.\r";
  load(state, large);
  pump(state, 50);
  SetFocus(state.editor);
  const HWND old_editor = state.editor;
  const auto format_of = [](HWND editor) {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    return format;
  };
  const auto zoom_of = [](HWND editor) {
    int numerator = 0, denominator = 0;
    SendMessageW(editor, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    return std::pair{numerator, denominator};
  };
  const auto background_of = [](HWND editor) {
    const LRESULT background = SendMessageW(editor, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3));
    SendMessageW(editor, EM_SETBKGNDCOLOR, 0, background);
    return background;
  };
  const auto rect_of = [&state](HWND editor) {
    RECT rect = {};
    GetWindowRect(editor, &rect);
    MapWindowPoints(nullptr, state.main_window, reinterpret_cast<POINT*>(&rect), 2);
    // The left edge follows the gutter, whose width follows the number of lines.
    return std::pair{rect.top, std::pair{rect.right, rect.bottom}};
  };
  const CHARFORMAT2W format = format_of(old_editor);
  const auto zoom = zoom_of(old_editor);
  const LRESULT background = background_of(old_editor);
  const auto placed = rect_of(old_editor);
  RECT margins = {};
  SendMessageW(old_editor, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&margins));

  std::u16string long_line;
  while (long_line.size() < 2000) long_line += u"word ";
  load(state, u"small\rtext\r" + long_line);
  ASSERT_NE(state.editor, old_editor);
  EXPECT_EQ(editor_text_range(state.editor, 0, 10), std::u16string(u"small\rtext"));
  EXPECT_EQ(GetDlgItem(state.main_window, kEditorControlId), state.editor);
  EXPECT_EQ(GetFocus(), state.editor);
  EXPECT_TRUE(IsWindowVisible(state.editor));
  EXPECT_FALSE(IsWindow(old_editor)) << "gone before the new control loaded";
  const CHARFORMAT2W renewed = format_of(state.editor);
  EXPECT_EQ(std::wstring(renewed.szFaceName), std::wstring(format.szFaceName));
  EXPECT_EQ(renewed.yHeight, format.yHeight);
  EXPECT_EQ(renewed.crTextColor, format.crTextColor);
  EXPECT_EQ(renewed.crBackColor, format.crBackColor);
  EXPECT_EQ(zoom_of(state.editor), zoom);
  EXPECT_EQ(background_of(state.editor), background);
  EXPECT_EQ(rect_of(state.editor), placed);
  RECT renewed_margins = {};
  SendMessageW(state.editor, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&renewed_margins));
  EXPECT_EQ(renewed_margins.left, margins.left);
  EXPECT_EQ(renewed_margins.top, margins.top);
  EXPECT_EQ(SendMessageW(state.editor, EM_GETLINECOUNT, 0, 0), 3) << "the long line is not wrapped";
  EXPECT_FALSE(SendMessageW(state.editor, EM_CANUNDO, 0, 0));
  pump(state, 50);

  // The subclass and the notifications work on the new control.
  set_editor_selection(state.editor, 10, 10);
  key(state, VK_RETURN);
  type(state, u"third");
  pump(state, 100);
  EXPECT_TRUE(state.modified);
  EXPECT_EQ(current_status_snapshot().position, u"Ln 3, Col 6");
  EXPECT_EQ(editor_line_count(state), 4u);
  EXPECT_EQ(editor_text(state)->substr(0, 16), u"small\rtext\rthird");
}

// Edits at random places, checked now and then: the text last read, with the edits made
// since patched in, is the control's text every time.
TEST_F(ShellTest, APatchedTextFollowsRandomEditsExactly) {
  MainWindowState& state = start();
  std::u16string text;
  for (int i = 1; i <= 40; ++i) text += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\r";
  load(state, text);
  const std::uint64_t rebuilds = state.lines.rebuilds;
  std::mt19937 rng(11);
  const std::u16string alphabet = u"ab\r \u00E9";
  const auto any_unit = [&] { return alphabet[rng() % alphabet.size()]; };
  int checks = 0;
  int patched = 0;
  for (int step = 0; step < 400; ++step) {
    const std::size_t length = editor_text_length(state.editor);
    const std::size_t at = rng() % (length + 1);
    const std::size_t span = std::min<std::size_t>(rng() % 8, length - at);
    switch (rng() % 5) {
      case 0:
        set_editor_selection(state.editor, at, at);
        SendMessageW(state.editor, WM_CHAR, any_unit(), 1);
        break;
      case 1:
        set_editor_selection(state.editor, at, at + span % 2);
        SendMessageW(state.editor, WM_KEYDOWN, VK_BACK, 1);
        break;
      case 2:
        set_editor_selection(state.editor, at, at);
        SendMessageW(state.editor, WM_KEYDOWN, VK_DELETE, 1);
        break;
      case 3:
        set_editor_selection(state.editor, at, at + span);
        SendMessageW(state.editor, WM_CHAR, any_unit(), 1);
        break;
      default: {
        std::u16string replacement;
        for (std::size_t i = rng() % 4; i > 0; --i) replacement += any_unit();
        apply_edit(state.editor, TextEdit{at, span, replacement, at, at});
        break;
      }
    }
    if (rng() % 6 != 0) continue;
    SCOPED_TRACE(step);
    ++checks;
    const std::optional<std::u16string> held = editor_text_range(state.editor, 0, editor_text_length(state.editor));
    ASSERT_TRUE(held);
    const bool kept = state.lines.read_text != nullptr;
    if (const std::shared_ptr<const std::u16string> copy = patched_editor_text(state)) {
      ++patched;
      ASSERT_EQ(*copy, *held);
    } else {
      ASSERT_FALSE(kept) << "the edits kept, replayed, did not give the control's text";
      // Too many edits apart to be worth replaying: a search would read the text again.
      editor_text(state);
    }
  }
  EXPECT_GT(patched, checks * 3 / 4) << "the copy was dropped too often";
  EXPECT_EQ(state.lines.rebuilds, rebuilds);
}

// Find Next after typing searches the text as last read with the keystrokes patched in, and
// still selects the right match when that copy has drifted from the control.
TEST_F(ShellTest, FindNextAfterAnEditReadsNoWholeTextUnlessItsCopyDrifted) {
  MainWindowState& state = start();
  load(state, u"alpha\rbeta\rgamma beta\r");
  pump(state, 50);
  set_editor_selection(state.editor, 0, 0);
  type(state, u"xy");
  key(state, VK_RETURN);
  ASSERT_EQ(state.cached_text, nullptr);
  RichEditSearchEditor editor(state);
  SearchRequest request;
  request.find_text = u"beta";
  ASSERT_EQ(find_next(editor, state.search, request, false), std::nullopt);
  EXPECT_EQ(editor_selection(state.editor).start, 9u);
  EXPECT_EQ(state.cached_text, nullptr) << "the whole text was read back";

  // As if an edit had been patched in wrongly: "gamma" reads "betaa" in the copy.
  state.lines.read_text = std::make_shared<const std::u16string>(u"xy\ralpha\rbeta\rbetaa beta\r");
  ASSERT_EQ(find_next(editor, state.search, request, false), std::nullopt);
  EXPECT_EQ(editor_selection(state.editor).start, 20u);
  ASSERT_NE(state.cached_text, nullptr);
  EXPECT_EQ(*patched_editor_text(state), *state.cached_text) << "the copy is the text read";
}

// The refresh's cost does not grow with the document (the counts above show it), so a few
// KiB show the burst as well as a large one would.
TEST_F(ShellTest, ThousandKeysInADocumentRefreshOnce) {
  MainWindowState& state = start();
  std::u16string large;
  while (large.size() < 4096) large += u"a line of a large document, sixty characters long or so.\r";
  load(state, large);
  pump(state, 100);
  const std::uint64_t before = status_bar_repaint_count();
  const auto start_time = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) SendMessageW(state.editor, WM_CHAR, u'x', 1);
  const auto typed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start_time).count();
  pump(state, 150);
  // Keys delivered back to back form one burst only if they came faster than the refresh delay.
  ASSERT_GT(typed_ms, 0);
  EXPECT_EQ(status_bar_repaint_count() - before, 1u) << "typing took " << typed_ms << " ms";
  EXPECT_EQ(current_status_snapshot().count, group_free_count(large.size() + 1000));
}

TEST_F(ShellTest, SelectionCountAndZoomInTheStatusBar) {
  MainWindowState& state = start();
  load(state, u"0123456789");
  set_editor_selection(state.editor, 2, 5);
  pump(state, 100);
  EXPECT_EQ(current_status_snapshot().count, u"3 of 10 characters");
  dispatch_command(state, kCommandZoomIn);
  EXPECT_EQ(current_status_snapshot().zoom, u"110%");
  SendMessageW(state.editor, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 1), 0);
  EXPECT_DOUBLE_EQ(state.zoom, 1.2) << "one step per message, however small the delta";
  SendMessageW(state.editor, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-360)), 0);
  EXPECT_DOUBLE_EQ(state.zoom, 1.1);
  dispatch_command(state, kCommandRestoreZoom);
  EXPECT_FALSE(current_status_snapshot().zoom.has_value());
}

// A parent that only notes the commands its status bar sends.
UINT g_last_status_command = 0;
LRESULT CALLBACK recording_parent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_last_status_command = LOWORD(wparam);
  return DefWindowProcW(window, message, wparam, lparam);
}

TEST(StatusBarClicks, ACommandNeedsPressAndReleaseOnTheSameField) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  resolve_palette(Theme::Light);
  register_status_bar_class(instance);
  WNDCLASSEXW parent_class{};
  parent_class.cbSize = sizeof parent_class;
  parent_class.lpfnWndProc = recording_parent;
  parent_class.hInstance = instance;
  parent_class.lpszClassName = L"WrenfoldStatusBarTestParent";
  RegisterClassExW(&parent_class);
  HWND parent = CreateWindowExW(0, L"WrenfoldStatusBarTestParent", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 800, 200, nullptr, nullptr, instance, nullptr);
  HWND bar = CreateWindowExW(0, kStatusBarClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 780, 28, parent, nullptr,
                             instance, nullptr);
  InvalidateRect(bar, nullptr, FALSE);
  UpdateWindow(bar);
  const auto center_of = [](unsigned command) {
    for (const ClickableRegion& region : status_bar_regions()) {
      if (region.command == command) {
        return MAKELPARAM((region.rect.left + region.rect.right) / 2, (region.rect.top + region.rect.bottom) / 2);
      }
    }
    ADD_FAILURE() << "no field for command " << command;
    return MAKELPARAM(0, 0);
  };
  const LPARAM encoding = center_of(603);
  const LPARAM line_ending = center_of(602);

  g_last_status_command = 0;
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, encoding);
  SendMessageW(bar, WM_LBUTTONUP, 0, line_ending);
  EXPECT_EQ(g_last_status_command, 0u) << "pressed on one field, released on another";
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, line_ending);
  SendMessageW(bar, WM_LBUTTONUP, 0, line_ending);
  EXPECT_EQ(g_last_status_command, 602u);
  SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, encoding);
  SendMessageW(bar, WM_LBUTTONUP, 0, encoding);
  EXPECT_EQ(g_last_status_command, 603u);
  DestroyWindow(parent);
}

TEST_F(ShellTest, KeysInsideTheFindWindowGoToIt) {
  const std::u16string path = temp_folder() + u"wrenfold find keys test.txt";
  {
    std::FILE* file = _wfopen(wide(path), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("one one\n", file);
    std::fclose(file);
  }
  MainWindowState& state = start(u"\"C:\\wrenfold.exe\" " + path);
  type(state, u"x");
  ASSERT_TRUE(state.modified);
  set_editor_selection(state.editor, 0, 0);
  open_find_window(state, false);
  const HWND find = find_replace_window();
  ASSERT_NE(find, nullptr);
  const HWND field = GetDlgItem(find, kFindWhatBox);
  SetWindowTextW(field, L"one");
  const auto shown = [&](int id) { return IsWindowVisible(GetDlgItem(find, id)) != FALSE; };
  const auto selection = [&] {
    const EditorSelectionRange range = editor_selection(state.editor);
    return std::pair{range.start, range.end};
  };
  // A key pressed in "Find what:", as the loop receives it.
  const auto press = [&](UINT message, UINT key, bool ctrl, bool shift) {
    set_modifiers(ctrl, shift, message == WM_SYSKEYDOWN);
    MSG pressed = {field, message, key, 1, 0, {0, 0}};
    const bool consumed = preprocess_message(state, pressed);
    set_modifiers(false, false, false);
    pump(state, 10);
    return consumed;
  };

  EXPECT_TRUE(press(WM_KEYDOWN, 'H', true, false));
  EXPECT_TRUE(shown(kReplaceWithBox)) << "Ctrl+H shows the Replace tab";
  EXPECT_TRUE(press(WM_KEYDOWN, 'F', true, false));
  EXPECT_FALSE(shown(kReplaceWithBox)) << "Ctrl+F shows the Find tab";
  EXPECT_TRUE(press(WM_KEYDOWN, VK_TAB, true, false));
  EXPECT_TRUE(shown(kReplaceWithBox)) << "Ctrl+Tab switches tabs";
  EXPECT_TRUE(press(WM_SYSKEYDOWN, 'F', false, false));
  EXPECT_FALSE(shown(kReplaceWithBox)) << "Alt+F shows the Find tab";
  EXPECT_TRUE(press(WM_SYSKEYDOWN, 'R', false, false));
  EXPECT_TRUE(shown(kReplaceWithBox)) << "Alt+R shows the Replace tab";
  EXPECT_TRUE(press(WM_SYSKEYDOWN, 'O', false, false));
  EXPECT_TRUE(shown(kMatchCaseBox)) << "Alt+O opens the options";
  EXPECT_TRUE(press(WM_KEYDOWN, VK_F3, false, false));
  EXPECT_EQ(selection(), (std::pair<std::size_t, std::size_t>{1, 4})) << "F3 finds the next match";
  EXPECT_TRUE(press(WM_KEYDOWN, VK_F3, false, false));
  EXPECT_EQ(selection(), (std::pair<std::size_t, std::size_t>{5, 8}));
  EXPECT_TRUE(press(WM_KEYDOWN, VK_F3, false, true));
  EXPECT_EQ(selection(), (std::pair<std::size_t, std::size_t>{1, 4})) << "Shift+F3 searches up";

  // Any other key is the dialog manager's and never reaches the main window's shortcuts.
  EXPECT_TRUE(press(WM_KEYDOWN, 'S', true, false));
  EXPECT_TRUE(state.modified) << "Ctrl+S in the Find window saves nothing";
  {
    std::FILE* file = _wfopen(wide(path), L"rb");
    ASSERT_NE(file, nullptr);
    char stored[32] = {};
    const std::size_t read = std::fread(stored, 1, sizeof stored, file);
    std::fclose(file);
    EXPECT_EQ(std::string(stored, read), "one one\n");
  }

  DestroyWindow(find);
  EXPECT_EQ(find_replace_window(), nullptr) << "a destroyed window is no longer looked up";
  DeleteFileW(wide(path));
}

TEST_F(ShellTest, TransientMessageLastsFourSecondsFromTheLastOne) {
  MainWindowState& state = start();
  show_transient_message(state, u"first");
  pump(state, 2000);
  show_transient_message(state, u"second");
  pump(state, 2600);
  EXPECT_EQ(current_status_snapshot().message, u"second") << "setting a message restarts the time";
  pump(state, 1800);
  EXPECT_FALSE(current_status_snapshot().message.has_value());
}

TEST_F(ShellTest, EditingKeysAreSingleUndoSteps) {
  MainWindowState& state = start();
  load(state, u"  one\rtwo\rthree");
  set_editor_selection(state.editor, 5, 5);
  key(state, VK_RETURN);
  EXPECT_EQ(text(state), u"  one\r  \rtwo\rthree") << "Enter keeps the indent";
  SendMessageW(state.editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(state), u"  one\rtwo\rthree");

  set_editor_selection(state.editor, 3, 9);  // "ne\rtwo"
  key(state, VK_TAB);
  EXPECT_EQ(text(state), u"\t  one\r\ttwo\rthree");
  SendMessageW(state.editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(state), u"  one\rtwo\rthree");

  set_editor_selection(state.editor, 3, 3);
  key(state, VK_TAB, false, true);
  EXPECT_EQ(text(state), u"one\rtwo\rthree") << "Shift+Tab removes the leading spaces";

  set_editor_selection(state.editor, 5, 5);
  key(state, VK_DOWN, false, false, true);
  EXPECT_EQ(text(state), u"one\rthree\rtwo") << "Alt+Down moves the line";
  const EditorSelectionRange moved = editor_selection(state.editor);
  EXPECT_EQ(moved.start, 11u);
  SendMessageW(state.editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(state), u"one\rtwo\rthree");

  set_editor_selection(state.editor, 0, 0);
  key(state, VK_UP, false, false, true);
  EXPECT_EQ(text(state), u"one\rtwo\rthree") << "the first line cannot move up";

  key(state, 'D', true);
  EXPECT_EQ(text(state), u"one\rone\rtwo\rthree");
  key(state, 'L', true);
  EXPECT_EQ(text(state), u"one\rone\rtwo\rthree") << "Ctrl+L is swallowed";
}

TEST_F(ShellTest, CutAndCopyFollowTheSelection) {
  MainWindowState& state = start();
  load(state, u"abc");
  const auto state_of = [&](unsigned command) {
    return GetMenuState(state.main_menu, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED);
  };
  set_editor_selection(state.editor, 1, 1);
  SendMessageW(state.main_window, WM_INITMENUPOPUP, 0, 0);
  EXPECT_NE(state_of(kCommandCut), 0u);
  EXPECT_NE(state_of(kCommandCopy), 0u);
  EXPECT_EQ(state_of(kCommandPaste), 0u);
  set_editor_selection(state.editor, 1, 2);
  SendMessageW(state.main_window, WM_INITMENUPOPUP, 0, 0);
  EXPECT_EQ(state_of(kCommandCut), 0u);
  EXPECT_EQ(state_of(kCommandCopy), 0u);
}

TEST_F(ShellTest, TogglesKeepAnotherWindowsChange) {
  MainWindowState& state = start();
  // Another window turns word wrap on in the file meanwhile.
  AppSettings other = load_settings(settings_path_);
  other.word_wrap = true;
  ASSERT_TRUE(save_settings(settings_path_, other).ok());

  dispatch_command(state, kCommandLineNumbers);
  const AppSettings stored = load_settings(settings_path_);
  EXPECT_TRUE(stored.line_numbers);
  EXPECT_TRUE(stored.word_wrap) << "the other window's change survives";
  EXPECT_TRUE(state.settings.read().line_numbers);
  EXPECT_FALSE(state.settings.read().word_wrap) << "this window's copy changes only its own flag";
  EXPECT_TRUE(IsWindowVisible(state.gutter));
  EXPECT_EQ(GetMenuState(state.main_menu, kCommandLineNumbers, MF_BYCOMMAND) & MF_CHECKED,
            static_cast<UINT>(MF_CHECKED));

  dispatch_command(state, kCommandStatusBar);
  EXPECT_FALSE(IsWindowVisible(state.status_bar));
  EXPECT_FALSE(load_settings(settings_path_).status_bar);
}

TEST_F(ShellTest, GutterWidensAtOneHundredLines) {
  MainWindowState& state = start();
  dispatch_command(state, kCommandLineNumbers);
  std::u16string lines;
  for (int i = 1; i < 99; ++i) lines += u"line\r";
  lines += u"last";
  load(state, lines);
  pump(state, 100);
  RECT narrow_rect;
  GetClientRect(state.gutter, &narrow_rect);
  EXPECT_EQ(narrow_rect.right, static_cast<LONG>(2 * state.digit_width + 24));

  set_editor_selection(state.editor, lines.size(), lines.size());
  replace_selection_as_step(state.editor, u"\r");
  pump(state, 150);
  RECT wide_rect;
  GetClientRect(state.gutter, &wide_rect);
  EXPECT_EQ(wide_rect.right, narrow_rect.right + static_cast<LONG>(state.digit_width));

  SendMessageW(state.editor, EM_UNDO, 0, 0);
  pump(state, 150);
  GetClientRect(state.gutter, &wide_rect);
  EXPECT_EQ(wide_rect.right, narrow_rect.right) << "and narrows again";
}

TEST_F(ShellTest, AnOpenedDocumentHasItsGutterAtOnceAndNoRefreshLeft) {
  MainWindowState& state = start();
  dispatch_command(state, kCommandLineNumbers);
  pump(state, 100);
  RECT narrow_rect;
  GetClientRect(state.gutter, &narrow_rect);
  std::u16string lines;
  for (int i = 0; i < 150; ++i) lines += u"line\r";
  load_document(state, lines, std::nullopt, Encoding::Utf8, LineEnding::Windows);
  RECT wide_rect;
  GetClientRect(state.gutter, &wide_rect);
  EXPECT_EQ(wide_rect.right, narrow_rect.right + static_cast<LONG>(state.digit_width));
  EXPECT_FALSE(KillTimer(state.main_window, kTimerStatusRefresh)) << "the timer would only repeat the refresh";
}

// A large load is laid out once: a text too long for the window gets its vertical scroll bar
// before the load, so the control never has to lay the whole text out again for a narrower
// window. Loads leave no undo step, and the control's own undo still works after one.
TEST_F(ShellTest, ALargeLoadIsLaidOutOnceAndLeavesTheControlItsUndo) {
  MainWindowState& state = start();
  pump(state, 50);
  const auto bar_shown = [&state](LONG bar) { return (GetWindowLongPtrW(state.editor, GWL_STYLE) & bar) != 0; };
  ASSERT_FALSE(bar_shown(WS_VSCROLL));
  testing::LoadResizes sizes;
  SetWindowSubclass(state.editor, testing::count_resizes_around_load, 80, reinterpret_cast<DWORD_PTR>(&sizes));
  std::u16string large;
  while (large.size() <= kRenewEditorAbove) large += u"a line of a large document, sixty characters long or so.\r";
  load(state, large);
  RemoveWindowSubclass(state.editor, testing::count_resizes_around_load, 80);
  EXPECT_EQ(sizes.while_loading, 0) << "each resize lays the whole text out again";
  EXPECT_TRUE(bar_shown(WS_VSCROLL));
  SCROLLINFO bar = {};
  bar.cbSize = sizeof(bar);
  bar.fMask = SIF_RANGE | SIF_PAGE;
  GetScrollInfo(state.editor, SB_VERT, &bar);
  EXPECT_GT(bar.nMax, static_cast<int>(bar.nPage)) << "the control itself took the bar over";

  EXPECT_FALSE(SendMessageW(state.editor, EM_CANUNDO, 0, 0));
  SendMessageW(state.editor, WM_CHAR, u'x', 1);
  ASSERT_TRUE(SendMessageW(state.editor, EM_CANUNDO, 0, 0));
  SendMessageW(state.editor, EM_UNDO, 0, 0);
  EXPECT_EQ(editor_text_range(state.editor, 0, 6), std::u16string(u"a line"));

  // One long line needs no vertical bar: none is put up for it.
  std::u16string one_line;
  while (one_line.size() <= kRenewEditorAbove) one_line += u"word ";
  load(state, one_line);
  pump(state, 50);
  EXPECT_FALSE(bar_shown(WS_VSCROLL));

  // Unwrapped lines wider than the window: both bars, and still no second layout.
  ASSERT_FALSE(state.settings.read().word_wrap);
  load(state, u"");
  ASSERT_FALSE(bar_shown(WS_HSCROLL));
  std::u16string wide_line;
  while (wide_line.size() < 400) wide_line += u"word ";
  std::u16string wide;
  while (wide.size() <= kRenewEditorAbove) wide += wide_line + u"\r";
  sizes = {};
  SetWindowSubclass(state.editor, testing::count_resizes_around_load, 80, reinterpret_cast<DWORD_PTR>(&sizes));
  load(state, wide);
  RemoveWindowSubclass(state.editor, testing::count_resizes_around_load, 80);
  EXPECT_EQ(sizes.while_loading, 0);
  EXPECT_TRUE(bar_shown(WS_HSCROLL));
  EXPECT_TRUE(bar_shown(WS_VSCROLL));
  GetScrollInfo(state.editor, SB_HORZ, &bar);
  EXPECT_GT(bar.nMax, static_cast<int>(bar.nPage));
}

// The gutter asks the control where a few lines start, not every line, and still puts each
// number where the control shows its line: a row of a fallback font or a wrapped line too.
LRESULT CALLBACK count_positions_asked(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) {
  if (message == EM_POSFROMCHAR) ++*reinterpret_cast<int*>(data);
  return DefSubclassProc(window, message, wparam, lparam);
}

TEST_F(ShellTest, LinesAreNumberedFromAFewPositionsWrappedOrNot) {
  MainWindowState& state = start();
  ASSERT_FALSE(state.settings.read().word_wrap);
  dispatch_command(state, kCommandLineNumbers);
  std::u16string long_line;
  while (long_line.size() < 600) long_line += u"word ";
  std::u16string text;
  for (int i = 1; i <= 400; ++i) {
    const std::string number = std::to_string(i);
    text += u"line " + std::u16string(number.begin(), number.end());
    if (i % 45 == 0) text += u" \U0001F600 \u6F22\u5B57 \u0E01\u0E34";
    if (i % 17 == 0) text += long_line;
    text += u"\r";
  }
  load(state, text);
  RECT client;
  GetClientRect(state.editor, &client);
  const auto expect_numbers_on_their_lines = [&](int most_asked) {
    pump(state, 100);
    int asked = 0;
    SetWindowSubclass(state.editor, count_positions_asked, 78, reinterpret_cast<DWORD_PTR>(&asked));
    const std::vector<GutterLabel> labels = gutter_labels(state);
    RemoveWindowSubclass(state.editor, count_positions_asked, 78);
    ASSERT_GT(labels.size(), 5u);
    EXPECT_LE(asked, most_asked) << "for " << labels.size() << " lines";
    const LineBreakIndex& lines = current_line_breaks(state);
    const auto top_of = [&](std::uint64_t line) {
      POINTL top = {0, 0};
      SendMessageW(state.editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&top),
                   static_cast<LPARAM>(*lines.start_of_line(line)));
      return static_cast<int>(top.y);
    };
    for (std::size_t i = 0; i < labels.size(); ++i) {
      EXPECT_EQ(labels[i].number, labels.front().number + i);
      EXPECT_EQ(labels[i].top, top_of(labels[i].number - 1)) << "line " << labels[i].number;
    }
    EXPECT_GT(top_of(labels.back().number), client.bottom) << "the next line is out of view";
  };
  SendMessageW(state.editor, EM_LINESCROLL, 0, 40);
  {
    SCOPED_TRACE("unwrapped");
    expect_numbers_on_their_lines(8);
  }
  dispatch_command(state, kCommandWordWrap);
  GetClientRect(state.editor, &client);
  SendMessageW(state.editor, EM_LINESCROLL, 0, 30);
  ASSERT_GT(SendMessageW(state.editor, EM_GETLINECOUNT, 0, 0), 420) << "the long lines wrap";
  {
    SCOPED_TRACE("wrapped");
    expect_numbers_on_their_lines(20);
  }
}

TEST_F(ShellTest, WrappedLinesAreNumberedOnTheirFirstDisplayLine) {
  MainWindowState& state = start();
  dispatch_command(state, kCommandWordWrap);
  dispatch_command(state, kCommandLineNumbers);
  SetWindowPos(state.main_window, nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOMOVE);
  std::u16string long_line;
  for (int i = 0; i < 40; ++i) long_line += u"word ";
  std::u16string text = u"short\r" + long_line;
  for (int i = 3; i <= 20; ++i) text += u"\rline";
  load(state, text);
  set_editor_selection(state.editor, 2, 2);
  pump(state, 100);
  const std::vector<GutterLabel> labels = gutter_labels(state);
  ASSERT_GE(labels.size(), 3u);
  for (std::size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(labels[i].number, i + 1);
  EXPECT_TRUE(labels[0].caret_line);
  EXPECT_FALSE(labels[1].caret_line);
  const int line_height = labels[1].top - labels[0].top;
  ASSERT_GT(line_height, 0);
  EXPECT_GE(labels[2].top - labels[1].top, 2 * line_height) << "the long line wraps onto more display lines";

  // With the view starting in the middle of the wrapped line, the next number is line 3.
  SendMessageW(state.editor, EM_LINESCROLL, 0, 2);
  pump(state, 50);
  ASSERT_EQ(SendMessageW(state.editor, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
  const std::vector<GutterLabel> scrolled = gutter_labels(state);
  ASSERT_FALSE(scrolled.empty());
  EXPECT_EQ(scrolled.front().number, 3u);
}

TEST_F(ShellTest, CommandLinePathIsOpened) {
  const std::u16string path = temp_folder() + u"wrenfold ui test file.txt";
  {
    std::FILE* file = _wfopen(wide(path), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("first\nsecond\n", file);
    std::fclose(file);
  }
  MainWindowState& state = start(u"\"C:\\wrenfold.exe\"   " + path);
  pump(state, 100);
  EXPECT_EQ(title(state), u"wrenfold ui test file.txt - Wrenfold");
  EXPECT_EQ(text(state), u"first\rsecond\r");
  EXPECT_EQ(state.line_ending, LineEnding::Unix);
  EXPECT_EQ(current_status_snapshot().line_ending, u"Unix (LF)");
  EXPECT_FALSE(state.modified);
  DeleteFileW(wide(path));
}

TEST_F(ShellTest, ClosingRemembersTheRestoredPlacement) {
  MainWindowState& state = start();
  SetWindowPos(state.main_window, nullptr, 50, 60, 640, 480, SWP_NOZORDER);
  pump(state, 50);
  ShowWindow(state.main_window, SW_MAXIMIZE);
  pump(state, 50);
  SendMessageW(state.main_window, WM_CLOSE, 0, 0);
  const AppSettings stored = load_settings(settings_path_);
  ASSERT_TRUE(stored.window.has_value());
  EXPECT_EQ(stored.window->x, 50);
  EXPECT_EQ(stored.window->y, 60);
  EXPECT_EQ(stored.window->width, 640);
  EXPECT_EQ(stored.window->height, 480);
  EXPECT_TRUE(stored.window->maximized);
}

}  // namespace
}  // namespace wrenfold::ui
