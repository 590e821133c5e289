// The Go to line window on the real main window under Wine. The window runs its own loop, so
// the test acts from a thread timer that fires inside that loop, one scripted step per tick.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "commands.h"
#include "editor.h"
#include "main_window_state.h"
#include "main_window_fixture.h"
#include "modal_script.h"
#include "pump.h"

namespace wrenfold::ui {
namespace {

using testing::ModalScript;
using testing::pump;

std::wstring text_of(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

HWND entry_of(HWND window) { return GetDlgItem(window, 10); }

// What a user does: types over the entry (pasting gets past the digits-only style too) and
// presses a key that the window's dialog handling turns into a button.
void enter(HWND window, const wchar_t* entry, UINT key = VK_RETURN) {
  SetWindowTextW(entry_of(window), entry);
  PostMessageW(entry_of(window), WM_KEYDOWN, key, 1);
  PostMessageW(entry_of(window), WM_KEYUP, key, 0xC0000001);
}

class GoToTest : public testing::MainWindowTest {
 protected:
  // Runs the command with the scripted steps; true when every step ran.
  bool go_to() {
    return script_.run([this] { dispatch_command(*state_, kCommandGoTo); });
  }

  ModalScript script_{L"WrenfoldGoTo"};
};

TEST_F(GoToTest, OpensOnTheCurrentLineAndOnlyAValidEntryMovesTheCaret) {
  replace_all_text(state(), u"first\rsecond\rthird");
  set_editor_selection(state().editor, 8, 10);  // inside line 2
  script_.then([this](HWND window) {
    EXPECT_EQ(text_of(window), L"Go to line");
    EXPECT_EQ(GetWindow(window, GW_OWNER), state().main_window);
    EXPECT_EQ(text_of(entry_of(window)), L"2");
    DWORD start = 1, end = 0;
    SendMessageW(entry_of(window), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 1u) << "the number is selected, ready to type over";
    EXPECT_FALSE(IsWindowEnabled(state().main_window));
    EXPECT_TRUE(state().message_dialog_open) << "the external-change check waits meanwhile";
    enter(window, L"4");
  });
  for (const wchar_t* wrong : {L"0", L"1.5", L"-1", L"99999999999999999999", L""}) {
    script_.then([wrong](HWND window) {
      EXPECT_EQ(text_of(GetDlgItem(window, 11)), L"The line number is beyond the total number of lines.");
      EXPECT_EQ(GetFocus(), entry_of(window));
      enter(window, wrong);
    });
  }
  script_.then([](HWND window) {
    EXPECT_EQ(text_of(GetDlgItem(window, 11)), L"The line number is beyond the total number of lines.");
    enter(window, L" +3 ");
  });
  ASSERT_TRUE(go_to());
  const EditorSelectionRange selection = editor_selection(state().editor);
  EXPECT_EQ(selection.start, 13u) << "the start of the third line";
  EXPECT_EQ(selection.end, 13u);
  EXPECT_TRUE(IsWindowEnabled(state().main_window));
  EXPECT_FALSE(state().message_dialog_open);
  EXPECT_EQ(GetFocus(), state().editor);
  EXPECT_EQ(FindWindowW(L"WrenfoldGoTo", nullptr), nullptr) << "the window is gone";
}

TEST_F(GoToTest, CancelEscapeAndTheCloseBoxLeaveTheCaret) {
  replace_all_text(state(), u"a\rb\rc");
  for (int way = 0; way < 3; ++way) {
    set_editor_selection(state().editor, 3, 3);
    script_.then([way](HWND window) {
      SetWindowTextW(entry_of(window), L"1");
      if (way == 0) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
      if (way == 1) enter(window, L"1", VK_ESCAPE);
      if (way == 2) PostMessageW(window, WM_CLOSE, 0, 0);
    });
    ASSERT_TRUE(go_to()) << way;
    const EditorSelectionRange selection = editor_selection(state().editor);
    EXPECT_EQ(selection.start, 3u) << way;
    EXPECT_EQ(selection.end, 3u) << way;
    EXPECT_TRUE(IsWindowEnabled(state().main_window)) << way;
  }
}

TEST_F(GoToTest, AnEmptyDocumentHasOnlyLineOne) {
  script_.then([](HWND window) {
    EXPECT_EQ(text_of(entry_of(window)), L"1");
    enter(window, L"2");
  });
  script_.then([](HWND window) {
    EXPECT_FALSE(text_of(GetDlgItem(window, 11)).empty());
    enter(window, L"1");
  });
  ASSERT_TRUE(go_to());
  EXPECT_EQ(editor_selection(state().editor).start, 0u);
}

}  // namespace
}  // namespace wrenfold::ui
