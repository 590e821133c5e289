// The Find and Replace window on the real main window under Wine: buttons pressed, keys sent
// through the program's own loop, and what the user would see checked in the editor's text and
// selection, the status line, the controls and the window's size.

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "editor.h"
#include "extended_escapes.h"
#include "find_layout.h"
#include "find_options.h"
#include "find_paint.h"
#include "find_window.h"
#include "form.h"
#include "main_window.h"
#include "main_window_fixture.h"
#include "main_window_state.h"
#include "message_loop.h"
#include "theme.h"
#include "pump.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::wide;
using testing::set_modifiers;

using testing::pump;

struct Selection {
  std::size_t start;
  std::size_t end;
  bool operator==(const Selection&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Selection& selection) {
  return out << '[' << selection.start << ", " << selection.end << ')';
}

class FindWindowTest : public testing::MainWindowTest {
 protected:
  void TearDown() override {
    set_modifiers(false, false, false);
    MainWindowTest::TearDown();
  }

  void load(std::u16string text) {
    replace_all_text(*state_, std::move(text));
    pump(*state_, 10);
  }

  std::u16string text() {
    state_->cached_text.reset();
    return *editor_text(*state_);
  }

  Selection selection() {
    const EditorSelectionRange range = editor_selection(state_->editor);
    return {range.start, range.end};
  }

  void select(std::size_t start, std::size_t end) { set_editor_selection(state_->editor, start, end); }

  void command(unsigned id) {
    dispatch_command(*state_, id);
    pump(*state_, 10);
  }

  static HWND window() { return find_replace_window(); }
  static HWND item(int id) { return GetDlgItem(window(), id); }
  static std::u16string item_text(int id) { return control_text(window(), id); }
  static std::u16string status() { return item_text(kFindStatusLine); }
  static bool shown(int id) { return IsWindowVisible(item(id)) != FALSE; }
  static bool checked(int id) { return IsDlgButtonChecked(window(), id) == BST_CHECKED; }
  static void set_item_text(int id, const std::u16string& text) { SetWindowTextW(item(id), wide(text)); }

  static SIZE client_size() {
    RECT client = {};
    GetClientRect(window(), &client);
    return {client.right, client.bottom};
  }

  // A mouse click as the button itself would take it.
  void click(int id, bool shift = false) {
    set_modifiers(false, shift, false);
    SendMessageW(item(id), BM_CLICK, 0, 0);
    set_modifiers(false, false, false);
    pump(*state_, 10);
  }

  // A key pressed in `target`, through the program's own loop.
  void key(HWND target, UINT virtual_key, bool ctrl = false, bool shift = false, bool alt = false) {
    set_modifiers(ctrl, shift, alt);
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtual_key, alt ? 0x20000001 : 1);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, virtual_key, alt ? 0xE0000001 : 0xC0000001);
    pump(*state_, 20);
    set_modifiers(false, false, false);
  }

  // Real key presses: the system hands them to whichever control has the focus.
  void type(std::u16string_view text) {
    std::vector<INPUT> inputs;
    for (const char16_t unit : text) {
      for (const DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = unit;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
      }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pump(*state_, 50);
  }

  void tap(WORD virtual_key) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = virtual_key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    pump(*state_, 50);
  }

  // A click into the editor, then back to the window (its title bar, or Alt+Tab).
  void leave_and_come_back() {
    SetForegroundWindow(state_->main_window);
    SetFocus(state_->editor);
    pump(*state_, 20);
    ASSERT_EQ(GetActiveWindow(), state_->main_window);
    ASSERT_EQ(GetFocus(), state_->editor);
    SetForegroundWindow(window());
    pump(*state_, 20);
    ASSERT_EQ(GetActiveWindow(), window());
  }

  void expand_options() {
    if (!shown(kMatchCaseBox)) click(kOptionsHeader);
    ASSERT_TRUE(shown(kMatchCaseBox));
  }

};

TEST_F(FindWindowTest, FindNextWrapsBothWaysAndSaysWhatItCannotFind) {
  load(u"one two one two one two");
  command(kCommandFind);
  ASSERT_NE(window(), nullptr);
  EXPECT_TRUE(IsWindowVisible(window()));
  EXPECT_EQ(GetFocus(), item(kFindWhatBox));

  click(kFindNextButton);
  EXPECT_EQ(status(), u"Enter text to find.");
  EXPECT_EQ(selection(), (Selection{0, 0}));

  set_item_text(kFindWhatBox, u"two");
  EXPECT_EQ(status(), u"") << "typing clears the status line";
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{4, 7}));
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{12, 15}));
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{20, 23}));
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{4, 7})) << "wrapped to the start";
  click(kFindNextButton, true);
  EXPECT_EQ(selection(), (Selection{20, 23})) << "Shift searches up, wrapping to the end";
  EXPECT_EQ(status(), u"");

  expand_options();
  click(kUpRadio);
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{12, 15})) << "Up searches towards the start";
  click(kFindNextButton, true);
  EXPECT_EQ(selection(), (Selection{20, 23})) << "Shift with Up searches down";
  click(kWrapAroundBox);
  click(kFindNextButton, true);
  EXPECT_EQ(status(), u"Can't find \"two\"") << "no wrapping past the end";
  EXPECT_EQ(selection(), (Selection{20, 23}));

  set_item_text(kFindWhatBox, u"zzz");
  click(kFindNextButton);
  EXPECT_EQ(status(), u"Can't find \"zzz\"");
  EXPECT_EQ(selection(), (Selection{20, 23})) << "a failed search leaves the selection";
}

TEST_F(FindWindowTest, ReplaceFindsFirstThenReplacesAndEachChangeIsOneUndoStep) {
  load(u"a b a b a");
  command(kCommandReplace);
  ASSERT_TRUE(shown(kReplaceWithBox));
  set_item_text(kFindWhatBox, u"a");
  set_item_text(kReplaceWithBox, u"xy");

  click(kReplaceButton);
  EXPECT_EQ(text(), u"a b a b a") << "the first press only finds";
  EXPECT_EQ(selection(), (Selection{0, 1}));
  click(kReplaceButton);
  EXPECT_EQ(text(), u"xy b a b a");
  EXPECT_EQ(selection(), (Selection{5, 6})) << "the next match is selected";
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), u"a b a b a");

  select(4, 4);
  click(kReplaceAllButton);
  EXPECT_EQ(status(), u"Replaced 3 occurrences.");
  EXPECT_EQ(text(), u"xy b xy b xy");
  EXPECT_EQ(selection(), (Selection{4, 4})) << "the caret stays where it was";
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), u"a b a b a") << "one undo takes the whole Replace All back";

  set_item_text(kFindWhatBox, u"q");
  click(kReplaceAllButton);
  EXPECT_EQ(status(), u"Replaced 0 occurrences.");
  EXPECT_EQ(text(), u"a b a b a");
  EXPECT_TRUE(state().modified) << "the replacements above changed the document";
}

LRESULT CALLBACK record_replacements(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR data) {
  if (message == EM_REPLACESEL) {
    CHARRANGE range = {0, 0};
    SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    const std::string bounds = std::to_string(range.cpMin) + "-" + std::to_string(range.cpMax) + ":";
    reinterpret_cast<std::vector<std::u16string>*>(data)->push_back(
        std::u16string(bounds.begin(), bounds.end()) + reinterpret_cast<const char16_t*>(lparam));
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

// Replacing the whole text costs the control a walk over its lines for every line; Replace All
// hands it only the lines from the first change to the last, and it still undoes as one step.
TEST_F(FindWindowTest, ReplaceAllGivesTheEditorOnlyTheChangedLines) {
  const std::u16string original = u"one\rtwo the\rthree\rthe four\r\U0001F600 five\rsix";
  load(original);
  command(kCommandReplace);
  set_item_text(kFindWhatBox, u"the");
  set_item_text(kReplaceWithBox, u"that");
  select(30, 30);
  std::vector<std::u16string> replaced;
  SetWindowSubclass(state().editor, record_replacements, 79, reinterpret_cast<DWORD_PTR>(&replaced));
  click(kReplaceAllButton);
  RemoveWindowSubclass(state().editor, record_replacements, 79);
  EXPECT_EQ(status(), u"Replaced 2 occurrences.");
  const std::u16string changed = u"one\rtwo that\rthree\rthat four\r\U0001F600 five\rsix";
  EXPECT_EQ(text(), changed);
  EXPECT_EQ(replaced, std::vector<std::u16string>{u"4-27:two that\rthree\rthat four\r"});
  EXPECT_EQ(selection(), (Selection{30, 30})) << "the caret stays where it was";
  EXPECT_EQ(*editor_text(state()), changed) << "the copy of the text follows";
  EXPECT_EQ(editor_line_count(state()), 6u);
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), original) << "one undo step";
  SendMessageW(state().editor, EM_REDO, 0, 0);
  EXPECT_EQ(text(), changed);

  set_item_text(kFindWhatBox, u"six");
  set_item_text(kReplaceWithBox, u"six");
  replaced.clear();
  SetWindowSubclass(state().editor, record_replacements, 79, reinterpret_cast<DWORD_PTR>(&replaced));
  click(kReplaceAllButton);
  RemoveWindowSubclass(state().editor, record_replacements, 79);
  EXPECT_EQ(status(), u"Replaced 1 occurrence.");
  EXPECT_EQ(replaced.size(), 1u) << "a replacement that changes nothing is still made";
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), changed);
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), original);
}

// Wine's control takes minutes to replace, and longer to undo, a change on every line of a
// large text: Replace All loads the result into a new control, and the undo step it can't
// hold is kept beside it.
TEST_F(FindWindowTest, ReplaceAllOverALargeTextUndoesAndRedoesAsOneStep) {
  // Small enough to stay quick, large enough that the control is replaced.
  state().replace_in_new_editor_above = 1u << 14;
  std::u16string original;
  for (int i = 0; i < 4000; ++i) {
    const std::string number = std::to_string(i);
    original += u"line " + std::u16string(number.begin(), number.end()) + u" is here" + (i % 25 == 0 ? u" the" : u"") + u"\r";
  }
  ASSERT_GT(original.size(), kRenewEditorAbove);
  std::u16string replaced = original;
  for (std::size_t at = replaced.find(u"the"); at != std::u16string::npos; at = replaced.find(u"the", at + 4)) {
    replaced.replace(at, 3, u"that");
  }
  const auto undo_possible = [&] { return SendMessageW(state().editor, EM_CANUNDO, 0, 0) != 0; };
  const auto redo_possible = [&] { return SendMessageW(state().editor, EM_CANREDO, 0, 0) != 0; };
  const auto replace_all_the = [&] {
    command(kCommandReplace);
    set_item_text(kFindWhatBox, u"the");
    set_item_text(kReplaceWithBox, u"that");
    select(40, 40);
    click(kReplaceAllButton);
    EXPECT_EQ(status(), u"Replaced 160 occurrences.");
  };

  load(original);
  SendMessageW(state().editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));
  const std::u16string typed = u"x" + original;
  const HWND first_editor = state().editor;
  replace_all_the();
  EXPECT_NE(state().editor, first_editor);
  EXPECT_EQ(text(), u"x" + replaced);
  EXPECT_EQ(selection(), (Selection{40, 40}));
  EXPECT_EQ(editor_line_count(state()), 4001u);
  EXPECT_TRUE(undo_possible());
  key(state().editor, 'Z', true);
  EXPECT_EQ(text(), typed) << "Ctrl+Z takes the whole Replace All back";
  EXPECT_FALSE(undo_possible()) << "the history before it is not kept";
  EXPECT_TRUE(redo_possible());
  key(state().editor, 'Y', true);
  EXPECT_EQ(text(), u"x" + replaced) << "Ctrl+Y makes it again";
  set_editor_selection(state().editor, 0, 0);
  SendMessageW(state().editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"z"));
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), u"x" + replaced) << "the control undoes its own edits first";
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), typed);
  EXPECT_EQ(editor_line_count(state()), 4001u);
  SendMessageW(state().editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"y"));
  EXPECT_FALSE(redo_possible()) << "a new edit ends the way back";
  EXPECT_EQ(text(), u"y" + typed);

  load(original);
  state().modified = false;
  replace_all_the();
  EXPECT_TRUE(state().modified);
  EXPECT_EQ(window_text(state().main_window).rfind(u"*", 0), 0u);
  // A change the control keeps no undo for: the kept step would throw it away.
  set_editor_selection(state().editor, 0, 1);
  SendMessageW(state().editor, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"L"));
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), u"L" + replaced.substr(1));
  EXPECT_FALSE(undo_possible());
}

// A view change lays a large text out in a new control when the control has nothing of its
// own to undo: the Replace All kept beside it must still go back and come again.
TEST_F(FindWindowTest, AViewChangeAfterALargeReplaceAllKeepsItsStep) {
  state().replace_in_new_editor_above = 1u << 14;
  std::u16string original;
  for (int i = 0; i < 4000; ++i) original += std::u16string(u"a line that is here") + (i % 25 == 0 ? u" the" : u"") + u"\r";
  load(original);
  command(kCommandReplace);
  set_item_text(kFindWhatBox, u"the");
  set_item_text(kReplaceWithBox, u"that");
  click(kReplaceAllButton);
  const std::u16string replaced = text();
  ASSERT_NE(replaced, original);
  const HWND editor = state().editor;
  dispatch_command(state(), kCommandWordWrap);
  EXPECT_NE(state().editor, editor) << "laid out in a new control";
  EXPECT_EQ(text(), replaced);
  key(state().editor, 'Z', true);
  EXPECT_EQ(text(), original);
  key(state().editor, 'Y', true);
  EXPECT_EQ(text(), replaced);
}

TEST_F(FindWindowTest, RegularExpressionsErrorsAndMatchesNewline) {
  load(u"ab\rcd");
  command(kCommandReplace);
  expand_options();
  EXPECT_FALSE(IsWindowEnabled(item(kDotMatchesNewlineBox)));
  click(kRegularExpressionRadio);
  EXPECT_TRUE(IsWindowEnabled(item(kDotMatchesNewlineBox)));

  set_item_text(kFindWhatBox, u"(b");
  click(kFindNextButton);
  EXPECT_EQ(status().rfind(u"Invalid regular expression: ", 0), 0u) << "got: " << status().size();
  EXPECT_EQ(selection(), (Selection{0, 0}));

  set_item_text(kFindWhatBox, u"b.c");
  click(kFindNextButton);
  EXPECT_EQ(status(), u"Can't find \"b.c\"");
  click(kDotMatchesNewlineBox);
  EXPECT_EQ(status(), u"") << "a changed option clears the status line";
  click(kFindNextButton);
  EXPECT_EQ(selection(), (Selection{1, 4}));

  set_item_text(kFindWhatBox, u"(\\w)(\\w)");
  set_item_text(kReplaceWithBox, u"$2$1");
  click(kReplaceAllButton);
  EXPECT_EQ(status(), u"Replaced 2 occurrences.");
  EXPECT_EQ(text(), u"ba\rdc");

  click(kNormalRadio);
  EXPECT_FALSE(IsWindowEnabled(item(kDotMatchesNewlineBox)));
}

TEST_F(FindWindowTest, TabsAndOptionsPanelSizeTheWindow) {
  command(kCommandFind);
  const HWND find = window();
  EXPECT_EQ(client_size().cx, 560);
  EXPECT_EQ(client_size().cy, 128 + 36);
  EXPECT_FALSE(shown(kReplaceWithBox));
  EXPECT_FALSE(shown(kReplaceAllButton));
  EXPECT_FALSE(shown(kMatchCaseBox));
  EXPECT_TRUE(shown(kOptionsHeader));

  // A click on the Replace tab's label.
  const FindTabRects tabs = find_tab_rects(tab_label_width(find, kFindTabLabel, 96),
                                           tab_label_width(find, kReplaceTabLabel, 96), 96);
  const POINT replace_tab = {(tabs.replace.left + tabs.replace.right) / 2, (tabs.replace.top + tabs.replace.bottom) / 2};
  SendMessageW(find, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(replace_tab.x, replace_tab.y));
  EXPECT_TRUE(shown(kReplaceWithBox));
  EXPECT_TRUE(shown(kReplaceButton));
  EXPECT_EQ(client_size().cy, 188 + 36);
  EXPECT_EQ(GetFocus(), item(kFindWhatBox));

  click(kOptionsHeader);
  EXPECT_TRUE(shown(kMatchCaseBox));
  EXPECT_TRUE(shown(kDotMatchesNewlineBox));
  EXPECT_EQ(client_size().cy, 284 + 36);
  EXPECT_EQ(GetFocus(), item(kOptionsHeader));
  RECT status_rect = {};
  GetWindowRect(item(kFindStatusLine), &status_rect);
  MapWindowPoints(nullptr, find, reinterpret_cast<POINT*>(&status_rect), 2);
  EXPECT_EQ(status_rect.top, 284 + 8) << "the status line sits under the options box";

  // Ctrl+Tab back to Find, Alt+O closes the options, Alt+R opens Replace with the text selected.
  set_item_text(kFindWhatBox, u"word");
  key(item(kFindWhatBox), VK_TAB, true);
  EXPECT_FALSE(shown(kReplaceWithBox));
  EXPECT_EQ(client_size().cy, 224 + 36);
  key(item(kFindWhatBox), 'O', false, false, true);
  EXPECT_FALSE(shown(kMatchCaseBox));
  EXPECT_EQ(client_size().cy, 128 + 36);
  EXPECT_EQ(GetFocus(), item(kOptionsHeader));
  key(item(kOptionsHeader), 'R', false, false, true);
  EXPECT_TRUE(shown(kReplaceWithBox));
  EXPECT_EQ(GetFocus(), item(kFindWhatBox));
  DWORD start = 0, end = 0;
  SendMessageW(item(kFindWhatBox), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 4u);
  key(item(kFindWhatBox), 'F', true);
  EXPECT_FALSE(shown(kReplaceWithBox)) << "Ctrl+F inside the window shows the Find tab";
}

// The window's outer size for a client area at 144 DPI, as the system frames it at that scale.
SIZE frame_size_at_144(int client_width, int client_height) {
  RECT frame = {0, 0, client_width, client_height};
  AdjustWindowRectExForDpi(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE,
                           WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, 144);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

TEST_F(FindWindowTest, AnotherMonitorScaleResizesEverything) {
  command(kCommandFind);
  RECT suggested = {40, 50, 0, 0};
  SendMessageW(window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  RECT frame = {};
  GetWindowRect(window(), &frame);
  EXPECT_EQ(frame.left, 40);
  EXPECT_EQ(frame.top, 50);
  // Wine keeps drawing the frame at 96 DPI, so the outer size is what can be compared.
  const SIZE collapsed = frame_size_at_144(840, (128 + 36) * 3 / 2);
  EXPECT_EQ(frame.right - frame.left, collapsed.cx);
  EXPECT_EQ(frame.bottom - frame.top, collapsed.cy);
  RECT box = {};
  GetWindowRect(item(kFindWhatBox), &box);
  EXPECT_EQ(box.right - box.left, 444);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(item(kFindWhatBox), WM_GETFONT, 0, 0)), ui_font(144, false, 0));

  // Later layouts keep the new scale.
  click(kOptionsHeader);
  GetWindowRect(window(), &frame);
  EXPECT_EQ(frame.bottom - frame.top, frame_size_at_144(840, (224 + 36) * 3 / 2).cy);
}

TEST_F(FindWindowTest, OptionsSummaryFollowsTheControls) {
  EXPECT_EQ(options_summary(FindOptions{}), u"");
  EXPECT_EQ(options_summary(FindOptions{SearchMode::Extended, false, true, true, true}), u"Extended \u00B7 Up")
      << "the newline option counts only for regular expressions";
  EXPECT_EQ(options_summary(FindOptions{SearchMode::RegularExpression, true, false, true, true}),
            u"Regular expression \u00B7 . matches newline \u00B7 Match case \u00B7 No wrap around \u00B7 Up");

  command(kCommandFind);
  expand_options();
  click(kRegularExpressionRadio);
  click(kMatchCaseBox);
  click(kWrapAroundBox);
  EXPECT_EQ(options_summary(read_find_options(window())),
            u"Regular expression \u00B7 Match case \u00B7 No wrap around");
  const SearchRequest request = read_search_request(window());
  EXPECT_EQ(request.mode, SearchMode::RegularExpression);
  EXPECT_TRUE(request.match_case);
  EXPECT_FALSE(request.wrap_around);
}

TEST_F(FindWindowTest, OpeningTakesAOneLineSelectionOrElseTheLastSearch) {
  load(u"alpha beta\rgamma beta");
  SearchRequest last;
  last.find_text = u"b.ta";
  last.mode = SearchMode::RegularExpression;
  last.match_case = true;
  state().search.last_search = last;

  command(kCommandFind);
  EXPECT_EQ(item_text(kFindWhatBox), u"b.ta") << "the last search fills an empty box";
  EXPECT_TRUE(checked(kRegularExpressionRadio));
  EXPECT_TRUE(checked(kMatchCaseBox));
  EXPECT_TRUE(IsWindowEnabled(item(kDotMatchesNewlineBox)));

  key(item(kFindWhatBox), VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(window())) << "Escape hides";
  EXPECT_EQ(GetFocus(), state().editor);

  select(11, 16);
  command(kCommandReplace);
  EXPECT_EQ(item_text(kFindWhatBox), u"gamma") << "a one-line selection wins";
  EXPECT_TRUE(shown(kReplaceWithBox));
  SendMessageW(window(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window()));

  select(6, 13);
  command(kCommandFind);
  EXPECT_EQ(item_text(kFindWhatBox), u"gamma") << "a selection across a line break is not taken";
  EXPECT_TRUE(checked(kRegularExpressionRadio)) << "options survive hiding";
}

TEST_F(FindWindowTest, UpAndDownInFindWhatBrowseTheHistory) {
  load(u"one two");
  command(kCommandFind);
  const HWND box = item(kFindWhatBox);
  for (const char16_t* search : {u"one", u"two"}) {
    set_item_text(kFindWhatBox, search);
    click(kFindNextButton);
  }
  set_item_text(kFindWhatBox, u"");
  key(box, VK_UP);
  EXPECT_EQ(item_text(kFindWhatBox), u"two");
  DWORD start = 0, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 3u) << "the caret goes to the end";
  EXPECT_EQ(end, 3u);
  key(box, VK_UP);
  EXPECT_EQ(item_text(kFindWhatBox), u"one");
  key(box, VK_UP);
  EXPECT_EQ(item_text(kFindWhatBox), u"one") << "nothing older";
  key(box, VK_DOWN);
  EXPECT_EQ(item_text(kFindWhatBox), u"two");
  key(box, VK_DOWN);
  EXPECT_EQ(item_text(kFindWhatBox), u"") << "back to what was typed";
  key(box, VK_DOWN);
  EXPECT_EQ(item_text(kFindWhatBox), u"");
  key(box, VK_UP, false, true);
  EXPECT_EQ(item_text(kFindWhatBox), u"") << "Shift+Up is not a history key";
}

TEST_F(FindWindowTest, EnterF3AndEscapeThroughTheLoop) {
  load(u"x.y x.y x.y");
  command(kCommandFind);
  const HWND box = item(kFindWhatBox);
  set_item_text(kFindWhatBox, u"x.y");
  key(box, VK_RETURN);
  EXPECT_EQ(selection(), (Selection{0, 3})) << "Enter presses Find Next";
  key(box, VK_F3);
  EXPECT_EQ(selection(), (Selection{4, 7}));
  key(box, VK_F3, false, true);
  EXPECT_EQ(selection(), (Selection{0, 3})) << "Shift+F3 searches up";

  key(box, VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(window()));
  EXPECT_EQ(GetFocus(), state().editor);
  key(state().editor, VK_F3);
  EXPECT_EQ(selection(), (Selection{4, 7})) << "F3 repeats the last search after the window closed";
  key(state().editor, VK_F3);
  EXPECT_EQ(selection(), (Selection{8, 11}));
  key(state().editor, VK_F3, false, true);
  EXPECT_EQ(selection(), (Selection{4, 7}));
  EXPECT_FALSE(IsWindowVisible(window())) << "the window stays hidden";

  load(u"nothing here");
  key(state().editor, VK_F3);
  ASSERT_TRUE(state().transient_message.has_value()) << "with the window hidden the status bar says it";
  EXPECT_EQ(*state().transient_message, u"Can't find \"x.y\"");
}

TEST_F(FindWindowTest, ComingBackToTheWindowGivesTheFocusBackToItsControl) {
  load(u"text");
  command(kCommandReplace);
  SetFocus(item(kReplaceWithBox));
  leave_and_come_back();
  EXPECT_EQ(GetFocus(), item(kReplaceWithBox));
  type(u"new");
  EXPECT_EQ(item_text(kReplaceWithBox), u"new") << "typing goes to the box that had the focus";
  EXPECT_EQ(text(), u"text");

  expand_options();
  SetFocus(item(kMatchCaseBox));
  leave_and_come_back();
  EXPECT_EQ(GetFocus(), item(kMatchCaseBox));
  tap(VK_SPACE);
  EXPECT_TRUE(checked(kMatchCaseBox)) << "Space ticks the box that had the focus";

  // Disabled while the window was in the background: "Find what:" takes the focus instead.
  CheckRadioButton(window(), kNormalRadio, kRegularExpressionRadio, kRegularExpressionRadio);
  SendMessageW(window(), WM_COMMAND, MAKEWPARAM(kRegularExpressionRadio, BN_CLICKED),
               reinterpret_cast<LPARAM>(item(kRegularExpressionRadio)));
  SetFocus(item(kDotMatchesNewlineBox));
  SetForegroundWindow(state().main_window);
  pump(*state_, 20);
  CheckRadioButton(window(), kNormalRadio, kRegularExpressionRadio, kNormalRadio);
  SendMessageW(window(), WM_COMMAND, MAKEWPARAM(kNormalRadio, BN_CLICKED),
               reinterpret_cast<LPARAM>(item(kNormalRadio)));
  ASSERT_FALSE(IsWindowEnabled(item(kDotMatchesNewlineBox)));
  SetForegroundWindow(window());
  pump(*state_, 20);
  EXPECT_EQ(GetFocus(), item(kFindWhatBox));
  set_item_text(kFindWhatBox, u"");
  type(u"te");
  EXPECT_EQ(item_text(kFindWhatBox), u"te");
}

TEST_F(FindWindowTest, FindNextWithoutAnySearchOpensTheWindow) {
  load(u"text");
  command(kCommandFindPrevious);
  ASSERT_NE(window(), nullptr);
  EXPECT_TRUE(IsWindowVisible(window()));
  EXPECT_FALSE(shown(kReplaceWithBox));
}

TEST_F(FindWindowTest, ClosingTheMainWindowDestroysIt) {
  command(kCommandFind);
  const HWND find = window();
  ASSERT_NE(find, nullptr);
  request_exit(state());
  pump(state(), 10);
  EXPECT_FALSE(IsWindow(find));
  EXPECT_EQ(find_replace_window(), nullptr);
}

BOOL CALLBACK find_tooltip(HWND window, LPARAM found) {
  wchar_t class_name[32] = {};
  GetClassNameW(window, class_name, 32);
  if (lstrcmpiW(class_name, TOOLTIPS_CLASSW) != 0 || GetWindow(window, GW_OWNER) != find_replace_window()) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

TEST_F(FindWindowTest, ExtendedHelpTipAndControlColours) {
  command(kCommandReplace);
  HWND tooltip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_tooltip, reinterpret_cast<LPARAM>(&tooltip));
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 420);
  std::u16string tip(kExtendedHelpText.size() + 1, u'\0');
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = window();
  tool.uId = reinterpret_cast<UINT_PTR>(item(kExtendedRadio));
  tool.lpszText = reinterpret_cast<wchar_t*>(tip.data());
  SendMessageW(tooltip, TTM_GETTEXTW, static_cast<WPARAM>(tip.size()), reinterpret_cast<LPARAM>(&tool));
  tip.resize(tip.find(u'\0'));
  EXPECT_EQ(tip, kExtendedHelpText) << "the tip on \"Extended\" is the escape help";

  const ThemeColors& palette = current_palette();
  const HDC dc = GetDC(window());
  const auto text_colour = [&](UINT message, int id) {
    SendMessageW(window(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(item(id)));
    return GetTextColor(dc);
  };
  EXPECT_EQ(text_colour(WM_CTLCOLORSTATIC, kFindStatusLine), palette.secondary_text);
  EXPECT_EQ(text_colour(WM_CTLCOLORSTATIC, kSearchModeLabel), palette.secondary_text);
  EXPECT_EQ(text_colour(WM_CTLCOLORSTATIC, kFindWhatLabel), palette.text);
  EXPECT_EQ(text_colour(WM_CTLCOLORBTN, kDotMatchesNewlineBox), palette.disabled_text);
  EXPECT_EQ(text_colour(WM_CTLCOLOREDIT, kReplaceWithBox), palette.text);
  EXPECT_EQ(GetBkColor(dc), input_background(palette.is_dark));
  ReleaseDC(window(), dc);

  set_item_text(kFindWhatBox, u"absent");
  click(kFindNextButton);
  ASSERT_FALSE(status().empty());
  set_item_text(kReplaceWithBox, u"x");
  EXPECT_EQ(status(), u"") << "editing the replacement clears the status line";
  EXPECT_EQ(SendMessageW(window(), DM_GETDEFID, 0, 0), 0x534B0014) << "Find Next is the default button";
}

TEST(FindLayout, ScalesAndPlacesInsideTheWorkArea) {
  const FindTabRects tabs = find_tab_rects(30, 50, 144);
  EXPECT_EQ(tabs.find.left, 24);
  EXPECT_EQ(tabs.find.right, 24 + 30 + 24);
  EXPECT_EQ(tabs.find.top, 12);
  EXPECT_EQ(tabs.find.bottom, 60);
  EXPECT_EQ(tabs.replace.left, tabs.find.right + 12);
  EXPECT_EQ(tabs.replace.right - tabs.replace.left, 50 + 24);

  const SIZE size = find_client_size(true, true, 144);
  EXPECT_EQ(size.cx, 840);
  EXPECT_EQ(size.cy, (284 + 36) * 3 / 2);
  const RECT box = options_box_rect(false, true, 120);
  EXPECT_EQ(box.top, 96 * 120 / 96);
  EXPECT_EQ(box.bottom, 224 * 120 / 96);

  FindPlacementInput input{{100, 200}, 900, 20, {580, 200}, {0, 0, 1280, 1000}, 96};
  EXPECT_EQ(find_window_position(input).x, 100 + 900 - 580 - 8) << "against the editor's right edge";
  EXPECT_EQ(find_window_position(input).y, 200 + 20 + 8) << "below the first line";
  input.editor_origin = {900, 950};
  EXPECT_EQ(find_window_position(input).x, 1280 - 580) << "kept inside the work area";
  EXPECT_EQ(find_window_position(input).y, 1000 - 200);
  input.work_area = {0, 0, 400, 100};
  EXPECT_EQ(find_window_position(input).x, 0) << "the left edge wins when it cannot fit";
  EXPECT_EQ(find_window_position(input).y, 0);
}

}  // namespace
}  // namespace wrenfold::ui
