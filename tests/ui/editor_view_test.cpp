// View changes on the real editor: each message that lays out the whole text again is sent
// only when what it sets changes, so that a toggle on a large document costs one layout; on a
// large text with nothing to undo, a view change loads the text into a new control instead.

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>

#include "codec.h"
#include "commands.h"
#include "document.h"
#include "editor.h"
#include "layout.h"
#include "main_window_fixture.h"
#include "main_window_state.h"
#include "pump.h"
#include "win32_test_helpers.h"

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


std::u16string large_text() {
  std::u16string text;
  for (int line = 0; text.size() <= kRenewEditorAbove; ++line) {
    text += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + line % 26)) + u" of a large document \u00E9t\u00E9 \u2192 0123.\r";
  }
  return text;
}

struct ShownPlace {
  CHARRANGE selection;
  LRESULT top;  // where the first row shown starts
};

ShownPlace shown_place(HWND editor) {
  ShownPlace place = {};
  SendMessageW(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&place.selection));
  place.top = SendMessageW(editor, EM_LINEINDEX, SendMessageW(editor, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  return place;
}

// Each view change on a large, unedited text: a new control at the new setting, holding the
// same text, showing the same place, and the document still as it was.
TEST_F(EditorViewTest, AViewChangeOnALargeUneditedTextLoadsItIntoANewControl) {
  const std::u16string text = large_text();
  load_document(state(), text, std::nullopt, Encoding::Utf8, LineEnding::Windows);
  testing::pump(state(), 60);
  SendMessageW(state().editor, EM_LINESCROLL, 0, 400);
  const LRESULT line_start = SendMessageW(state().editor, EM_LINEINDEX, 410, 0);
  CHARRANGE selection = {static_cast<LONG>(line_start + 5), static_cast<LONG>(line_start + 12)};
  SendMessageW(state().editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  testing::pump(state(), 60);
  const ShownPlace before = shown_place(state().editor);
  ASSERT_GT(before.top, 0);
  // What the control dropped from the file must still be asked about at the next save.
  state().load_lost_units = 3;
  const auto zoom_of = [this] {
    int numerator = 0, denominator = 0;
    SendMessageW(state().editor, EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    return numerator;
  };
  const auto font_height = [this] {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(state().editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    return format.yHeight;
  };
  const auto editor_width = [this] {
    RECT rect;
    GetWindowRect(state().editor, &rect);
    return rect.right - rect.left;
  };
  const int zoom = zoom_of();
  const LONG height = font_height();
  const LONG width = editor_width();

  const auto expect_renewed = [&](const char* change, auto&& apply) {
    SCOPED_TRACE(change);
    const HWND old_editor = state().editor;
    apply();
    testing::pump(state(), 60);
    EXPECT_NE(state().editor, old_editor);
    EXPECT_FALSE(IsWindow(old_editor));
    EXPECT_EQ(editor_text_length(state().editor), text.size());
    EXPECT_EQ(editor_text_range(state().editor, line_start, line_start + 30), text.substr(line_start, 30));
    const ShownPlace after = shown_place(state().editor);
    EXPECT_EQ(after.selection.cpMin, before.selection.cpMin);
    EXPECT_EQ(after.selection.cpMax, before.selection.cpMax);
    EXPECT_EQ(after.top, before.top);
    EXPECT_FALSE(state().modified);
    EXPECT_EQ(state().load_lost_units, 3u);
    EXPECT_FALSE(SendMessageW(state().editor, EM_CANUNDO, 0, 0));
  };
  const bool wrapped = state().settings.read().word_wrap;
  expect_renewed("word wrap", [&] { dispatch_command(state(), kCommandWordWrap); });
  EXPECT_EQ(state().settings.read().word_wrap, !wrapped);
  EXPECT_EQ(state().applied_word_wrap, !wrapped);
  expect_renewed("line numbers", [&] { dispatch_command(state(), kCommandLineNumbers); });
  EXPECT_TRUE(IsWindowVisible(state().gutter));
  EXPECT_LT(editor_width(), width) << "the gutter took its room";
  expect_renewed("zoom", [&] { dispatch_command(state(), kCommandZoomIn); });
  EXPECT_GT(zoom_of(), zoom);
  // In the control's own message: the old control outlives it, then goes.
  const int zoomed = zoom_of();
  expect_renewed("zoom by the wheel", [&] {
    SendMessageW(state().editor, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), MAKELPARAM(300, 300));
  });
  EXPECT_GT(zoom_of(), zoomed);
  expect_renewed("font", [&] {
    state().settings.use()->font_size_points = 14;
    apply_view_settings(state());
  });
  EXPECT_EQ(font_height(), 280);
  EXPECT_NE(font_height(), height);

  // A view change that lays nothing out again keeps the control.
  const HWND editor = state().editor;
  apply_view_settings(state());
  EXPECT_EQ(state().editor, editor);
}

// Edits the control could undo are worth more than a quick layout: the control stays.
TEST_F(EditorViewTest, AViewChangeOverEditsKeepsTheControlAndItsUndo) {
  load_document(state(), large_text(), std::nullopt, Encoding::Utf8, LineEnding::Windows);
  testing::pump(state(), 60);
  SendMessageW(state().editor, WM_CHAR, u'x', 1);
  const HWND editor = state().editor;
  dispatch_command(state(), kCommandWordWrap);
  testing::pump(state(), 60);
  EXPECT_EQ(state().editor, editor);
  ASSERT_TRUE(SendMessageW(state().editor, EM_CANUNDO, 0, 0));
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(editor_text_range(state().editor, 0, 6), std::u16string(u"line a"));
}

// With line numbers on, the gutter widens for a large text before it loads, not after: after
// would give the editor a new width and lay the whole text out a second time.
TEST_F(EditorViewTest, ALargeLoadWithLineNumbersGetsItsGutterFirst) {
  dispatch_command(state(), kCommandLineNumbers);
  take();
  testing::LoadResizes seen;
  SetWindowSubclass(state().editor, testing::count_resizes_around_load, 78, reinterpret_cast<DWORD_PTR>(&seen));
  load_document(state(), large_text(), std::nullopt, Encoding::Utf8, LineEnding::Windows);
  testing::pump(state(), 100);
  RemoveWindowSubclass(state().editor, testing::count_resizes_around_load, 78);
  ASSERT_TRUE(seen.loaded);
  EXPECT_EQ(seen.after_loading, 0);
  RECT gutter;
  GetClientRect(state().gutter, &gutter);
  EXPECT_GE(gutter.right, static_cast<LONG>(4 * state().digit_width)) << "room for four digits";
}

}  // namespace
}  // namespace wrenfold::ui
