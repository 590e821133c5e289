// View changes on the real editor: each message that lays out the whole text again is sent
// only when what it sets changes, so that a toggle on a large document costs one layout.

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include "commands.h"
#include "layout.h"
#include "main_window_fixture.h"
#include "main_window_state.h"
#include "pump.h"

namespace wrenfold::ui {
namespace {

struct LayoutMessages {
  int whole_text_format = 0;
  int target_device = 0;
  int zoom = 0;
  int text_rect = 0;
};

LRESULT CALLBACK count_layout_messages(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR data) {
  LayoutMessages& seen = *reinterpret_cast<LayoutMessages*>(data);
  // In a plain-text control the default format is the whole text's as well.
  if (message == EM_SETCHARFORMAT && (wparam == SCF_DEFAULT || (wparam & SCF_ALL) != 0)) ++seen.whole_text_format;
  if (message == EM_SETTARGETDEVICE) ++seen.target_device;
  if (message == EM_SETZOOM) ++seen.zoom;
  if (message == EM_SETRECT) ++seen.text_rect;
  return DefSubclassProc(window, message, wparam, lparam);
}

class EditorViewTest : public testing::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    SetWindowSubclass(state().editor, count_layout_messages, 77, reinterpret_cast<DWORD_PTR>(&seen_));
  }
  void TearDown() override {
    RemoveWindowSubclass(state().editor, count_layout_messages, 77);
    MainWindowTest::TearDown();
  }
  LayoutMessages take() {
    testing::pump(state(), 60);
    const LayoutMessages seen = seen_;
    seen_ = {};
    return seen;
  }
  LayoutMessages seen_;
};

TEST_F(EditorViewTest, EachViewChangeSendsOnlyWhatChanged) {
  dispatch_command(state(), kCommandLineNumbers);
  LayoutMessages seen = take();
  EXPECT_EQ(seen.whole_text_format, 0) << "line numbers";
  EXPECT_EQ(seen.target_device, 0) << "line numbers";
  EXPECT_EQ(seen.zoom, 0) << "line numbers";
  EXPECT_TRUE(state().settings.read().line_numbers);

  dispatch_command(state(), kCommandWordWrap);
  seen = take();
  EXPECT_EQ(seen.whole_text_format, 0) << "word wrap";
  EXPECT_EQ(seen.target_device, 1) << "word wrap";
  EXPECT_EQ(seen.zoom, 0) << "word wrap";

  dispatch_command(state(), kCommandZoomIn);
  seen = take();
  EXPECT_EQ(seen.whole_text_format, 0) << "zoom";
  EXPECT_EQ(seen.target_device, 0) << "zoom";
  EXPECT_EQ(seen.zoom, 1) << "zoom";

  state().settings.use()->font_size_points = 14;
  apply_view_settings(state());
  seen = take();
  EXPECT_EQ(seen.whole_text_format, 1) << "font";
  EXPECT_EQ(seen.target_device, 0) << "font";
  EXPECT_EQ(seen.zoom, 0) << "font";
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  SendMessageW(state().editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.yHeight, 280) << "the new size reached the control";
}

TEST_F(EditorViewTest, AResizeToTheSameSizeKeepsTheTextRectangle) {
  RECT client;
  GetClientRect(state().editor, &client);
  SendMessageW(state().editor, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  EXPECT_EQ(take().text_rect, 0);

  RECT window;
  GetWindowRect(state().main_window, &window);
  SetWindowPos(state().main_window, nullptr, 0, 0, window.right - window.left - 40, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  take();
  GetClientRect(state().editor, &client);
  RECT text = {};
  SendMessageW(state().editor, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
  const RECT wanted = editor_text_rect(client.right, client.bottom, window_dpi(state().editor));
  EXPECT_TRUE(EqualRect(&text, &wanted)) << "a new width keeps the margins: " << text.right << " " << wanted.right;
}

}  // namespace
}  // namespace wrenfold::ui
