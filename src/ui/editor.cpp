#include "editor.h"

#include <commctrl.h>
#include <windowsx.h>
#include <richedit.h>
#include <shellapi.h>
#include <tom.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "commands.h"
#include "document.h"
#include "editor_lines.h"
#include "fatal.h"
#include "font_size.h"
#include "gutter.h"
#include "layout.h"
#include "main_window.h"
#include "main_window_state.h"
#include "popup.h"
#include "statusbar.h"
#include "theme_hooks.h"
#include "whole_text_steps.h"

namespace wrenfold::ui {
namespace {

constexpr UINT_PTR kEditorSubclassId = 1;
constexpr WPARAM kUndoLimit = 1000;
constexpr DWORD kEditorStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                               ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL | ES_WANTRETURN;
constexpr LPARAM kNoAutoFontOrKeyboard = IMF_AUTOKEYBOARD | IMF_AUTOFONT | IMF_DUALFONT;
constexpr GUID kTextDocumentId = {0x8CC497C0, 0xA1DF, 0x11CE, {0x80, 0x98, 0x00, 0xAA, 0x00, 0x47, 0xBE, 0x5D}};

// Messages after which the text may have scrolled, so the gutter follows at once.
bool may_scroll(UINT message) {
  switch (message) {
    case WM_KEYDOWN: case WM_CHAR: case WM_TIMER: case WM_HSCROLL: case WM_VSCROLL:
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: case WM_CUT: case WM_PASTE: case WM_CLEAR: case WM_UNDO: case EM_SETSEL:
    case EM_LINESCROLL: case EM_SCROLLCARET: case EM_REPLACESEL: case EM_UNDO: case EM_EXSETSEL:
    case EM_SETCHARFORMAT: case EM_SETTARGETDEVICE: case EM_SETTEXTEX: case EM_SETSCROLLPOS:
    case EM_SETZOOM:
      return true;
    default:
      return false;
  }
}

void follow_scroll(MainWindowState& state) {
  POINT position = {0, 0};
  SendMessageW(state.editor, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&position));
  if (position.x == state.last_scroll_position.x && position.y == state.last_scroll_position.y) return;
  state.last_scroll_position = position;
  if (state.gutter != nullptr) {
    InvalidateRect(state.gutter, nullptr, FALSE);
    UpdateWindow(state.gutter);
  }
}

void show_context_menu(MainWindowState& state, LPARAM where) {
  HWND editor = state.editor;
  const EditorSelectionRange selection = editor_selection(editor);
  const bool empty = selection.start == selection.end;
  const UINT grey_if_empty = empty ? MF_GRAYED : MF_ENABLED;
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, SendMessageW(editor, EM_CANUNDO, 0, 0) ? MF_ENABLED : MF_GRAYED, kCommandUndo, L"&Undo");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, grey_if_empty, kCommandCut, L"Cu&t");
  AppendMenuW(menu, grey_if_empty, kCommandCopy, L"&Copy");
  AppendMenuW(menu, IsClipboardFormatAvailable(CF_UNICODETEXT) ? MF_ENABLED : MF_GRAYED, kCommandPaste, L"&Paste");
  AppendMenuW(menu, grey_if_empty, kCommandDelete, L"&Delete");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_ENABLED, kCommandSelectAll, L"Select &all");
  prepare_popup_menu(menu);
  set_popup_keyboard_cues(where == -1);

  POINT point = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (where == -1) {
    // From the keyboard: at the caret.
    const LRESULT at = SendMessageW(editor, EM_POSFROMCHAR,
                                    std::min(selection.end, editor_text_length(editor)), 0);
    point = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    ClientToScreen(editor, &point);
  }
  const int command = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY, point.x, point.y,
                                       state.main_window, nullptr);
  DestroyMenu(menu);
  if (command != 0) dispatch_command(state, static_cast<unsigned>(command));
}

void zoom_by_wheel(MainWindowState& state, int delta) {
  if (delta == 0) return;
  set_zoom(state, delta > 0 ? zoom_in(state.zoom) : zoom_out(state.zoom));
}

LRESULT CALLBACK editor_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR);

// Undo (redo) that the control can't do itself falls to a kept whole-text step, if any.
bool take_step_the_control_lacks(MainWindowState& state, HWND window, bool undo) {
  return !DefSubclassProc(window, undo ? EM_CANUNDO : EM_CANREDO, 0, 0) && take_whole_text_step(state, undo);
}

LRESULT handle_editor_message(MainWindowState* state, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: {
      const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
      // A new width re-wraps the text, which moves the lines the gutter numbers.
      if (state->gutter != nullptr) InvalidateRect(state->gutter, nullptr, FALSE);
      if (!state->margin_update) {
        state->margin_update = true;
        set_editor_margins(window);
        state->margin_update = false;
      }
      return result;
    }
    case WM_MOUSEWHEEL:
      if (GET_KEYSTATE_WPARAM(wparam) & MK_CONTROL) {
        zoom_by_wheel(*state, GET_WHEEL_DELTA_WPARAM(wparam));
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      show_context_menu(*state, lparam);
      return 0;
    case WM_KEYDOWN:
      // The control's own Ctrl+Z and Ctrl+Y, for a Replace All it doesn't hold.
      if ((wparam == 'Z' || wparam == 'Y') && GetKeyState(VK_CONTROL) < 0 &&
          take_step_the_control_lacks(*state, window, wparam == 'Z')) {
        return 0;
      }
      break;
    case WM_UNDO:
    case EM_UNDO:
    case EM_REDO:
      if (take_step_the_control_lacks(*state, window, message != EM_REDO)) return TRUE;
      break;
    case EM_CANUNDO:
    case EM_CANREDO:
      return DefSubclassProc(window, message, wparam, lparam) || whole_text_step_waits(*state, message == EM_CANUNDO);
    case WM_DROPFILES:
      // Not every control turns a shell drop into EN_DROPFILES (Wine's leaves it unhandled).
      open_dropped_file(*state, reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, editor_subclass, kEditorSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

LRESULT CALLBACK editor_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                 UINT_PTR, DWORD_PTR) {
  MainWindowState* state = find_main_window_state();
  if (state == nullptr) return DefSubclassProc(window, message, wparam, lparam);
  // The line index follows the change before anything (the gutter below) asks it.
  begin_editor_message(*state, message, wparam);
  const LRESULT result = handle_editor_message(state, window, message, wparam, lparam);
  end_editor_message(*state);
  if (may_scroll(message) && state->settings.read().line_numbers) follow_scroll(*state);
  return result;
}

// A font of the editor's face at a height in pixels.
HFONT make_editor_font(const AppSettings& settings, int height) {
  LOGFONTW font = {};
  font.lfHeight = -height;
  font.lfWeight = settings.font_bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = settings.font_italic ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  const std::u16string& face = settings.font_family;
  const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::copy_n(face.begin(), length, font.lfFaceName);
  return CreateFontIndirectW(&font);
}

// The editor font's em height in pixels at `zoom` and `dpi`.
int zoomed_font_height(const AppSettings& settings, double zoom, unsigned dpi) {
  return static_cast<int>(std::lround(usable_font_points(settings.font_size_points) * zoom * dpi / 72.0));
}

// The width of `text` on the screen in the editor's font, `height` pixels high.
LONG width_in_editor_font(const AppSettings& settings, int height, std::u16string_view text) {
  UniqueFont font(make_editor_font(settings, height));
  WindowDc screen(nullptr);
  SelectedObject selected(screen.get(), font.get());
  SIZE size = {0, 0};
  GetTextExtentPoint32W(screen.get(), reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()), &size);
  return size.cx;
}

}  // namespace

HWND create_editor(MainWindowState& state) {
  HWND editor = CreateWindowExW(0, MSFTEDIT_CLASS, L"", kEditorStyle, 0, 0, 0, 0, state.main_window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorControlId)),
                                GetModuleHandleW(nullptr), nullptr);
  if (editor == nullptr) fatal_error("the editor control can be created");
  state.editor = editor;
  SendMessageW(editor, EM_SETTEXTMODE, TM_PLAINTEXT | TM_SINGLECODEPAGE | TM_MULTILEVELUNDO, 0);
  SendMessageW(editor, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  SendMessageW(editor, EM_SETUNDOLIMIT, kUndoLimit, 0);
  SendMessageW(editor, EM_SETOPTIONS, ECOOP_OR, ECO_NOHIDESEL);
  const LRESULT language = SendMessageW(editor, EM_GETLANGOPTIONS, 0, 0);
  SendMessageW(editor, EM_SETLANGOPTIONS, 0, language & ~kNoAutoFontOrKeyboard);
  SendMessageW(editor, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SCROLL | ENM_SELCHANGE | ENM_DROPFILES);
  IUnknown* ole = nullptr;
  if (SendMessageW(editor, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole)) && ole != nullptr) {
    ole->QueryInterface(kTextDocumentId, reinterpret_cast<void**>(state.text_document.put()));
    ole->Release();
  }
  SetWindowSubclass(editor, editor_subclass, kEditorSubclassId, 0);
  DragAcceptFiles(editor, TRUE);
  return editor;
}

void apply_edit(HWND editor, const TextEdit& edit) {
  set_editor_selection(editor, edit.start, edit.start + edit.length);
  replace_selection_as_step(editor, edit.replacement);
  set_editor_selection(editor, edit.selection_start, edit.selection_end);
  SendMessageW(editor, EM_SCROLLCARET, 0, 0);
}

namespace {

struct StreamSource {
  const char16_t* next;
  std::size_t units_left;
};

DWORD CALLBACK stream_text_in(DWORD_PTR cookie, LPBYTE buffer, LONG wanted_bytes, LONG* given_bytes) {
  StreamSource& source = *reinterpret_cast<StreamSource*>(cookie);
  const std::size_t units = std::min(source.units_left, static_cast<std::size_t>(std::max<LONG>(wanted_bytes, 0)) / 2);
  std::memcpy(buffer, source.next, units * sizeof(char16_t));
  source.next += units;
  source.units_left -= units;
  *given_bytes = static_cast<LONG>(units * sizeof(char16_t));
  return 0;
}

std::u16string text_held_by(HWND editor) {
  const std::size_t length = editor_text_length(editor);
  std::u16string text(length + 1, u'\0');
  GETTEXTEX query = {};
  query.cb = static_cast<DWORD>((length + 1) * sizeof(char16_t));
  query.flags = GT_DEFAULT;
  query.codepage = 1200;
  const LRESULT copied = SendMessageW(editor, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, static_cast<LRESULT>(length))));
  return text;
}

struct LineSpan {
  std::size_t count = 1;
  std::u16string_view longest;
};

LineSpan measure_lines(std::u16string_view text) {
  LineSpan lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(u'\r', start);
    const std::u16string_view line = text.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (line.size() > lines.longest.size()) lines.longest = line;
    if (end == std::u16string_view::npos) return lines;
    ++lines.count;
    start = end + 1;
  }
}

// Wine's control lays the whole text out again whenever its size changes, and after a large
// load that second layout grows with the square of the text in its heap (a 20 MiB load had not
// finished after several minutes; 3.5 s with the bar shown first). So the window is laid out
// for a large text before it loads, which then lays it out once, at its final size: the
// gutter for its line count, and the scroll bars only if the text surely overflows the window,
// so that the control never holds a bar it did not ask for.
void lay_out_for_load(MainWindowState& state, std::u16string_view text) {
  if (text.size() <= kRenewEditorAbove) return;
  const AppSettings settings = state.settings.read();
  const int em_pixels = std::max(1, zoomed_font_height(settings, state.zoom, window_dpi(state.main_window)));
  const LineSpan lines = measure_lines(text);
  // The gutter's width follows the line count. Laid out for the coming text now, the editor
  // keeps its width through the load instead of narrowing after it, a second whole layout.
  if (settings.line_numbers) layout_main_window_for_lines(state, lines.count);
  const auto shown = [&state](LONG bar) { return (GetWindowLongPtrW(state.editor, GWL_STYLE) & bar) != 0; };
  const auto client = [&state] {
    RECT rect = {};
    GetClientRect(state.editor, &rect);
    return rect;
  };
  // Every line is at least one row of at least the font's em height.
  const auto show_vertical_if_needed = [&] {
    if (!shown(WS_VSCROLL) && static_cast<double>(lines.count) * em_pixels > client().bottom) {
      ShowScrollBar(state.editor, SB_VERT, TRUE);
    }
  };
  show_vertical_if_needed();
  // The start of the longest line is no wider than the whole line.
  if (!settings.word_wrap && !shown(WS_HSCROLL) &&
      width_in_editor_font(settings, em_pixels, lines.longest.substr(0, 4096)) > client().right + em_pixels) {
    ShowScrollBar(state.editor, SB_HORZ, TRUE);
    // The lower window may now need the vertical bar too.
    show_vertical_if_needed();
  }
}

}  // namespace

void replace_selection_as_step(HWND editor, std::u16string_view text) {
  SendMessageW(editor, EM_STOPGROUPTYPING, 0, 0);
  if (text.find(u'\0') != std::u16string_view::npos) {
    // A replaced selection ends at the first U+0000; a streamed one keeps them (Replace All
    // in a document that holds null characters would otherwise cut the text there).
    StreamSource source = {text.data(), text.size()};
    EDITSTREAM stream = {reinterpret_cast<DWORD_PTR>(&source), 0, stream_text_in};
    SendMessageW(editor, EM_STREAMIN, SF_TEXT | SF_UNICODE | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
  } else {
    const std::u16string terminated(text);
    SendMessageW(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(terminated.c_str()));
  }
  SendMessageW(editor, EM_STOPGROUPTYPING, 0, 0);
}

namespace {

// Wine's control deletes a text paragraph by paragraph, each step walking the paragraphs from
// the start: replacing a 2 MiB text took 24 s, and it grows with the square of the size. A
// new control takes the old one's place with every setting. The old one is destroyed before
// the new one loads, so that the two never hold a large text at once (560 MiB each for
// 10 MiB). While one of its own messages still runs (a drop on it, Ctrl+Z in it) it is hidden
// and destroyed from the message loop instead.
void renew_editor(MainWindowState& state) {
  HWND old_editor = state.editor;
  const bool focused = GetFocus() == old_editor;
  SendMessageW(old_editor, EM_SETEVENTMASK, 0, 0);
  SetWindowLongPtrW(old_editor, GWLP_ID, 0);
  RemoveWindowSubclass(old_editor, editor_subclass, kEditorSubclassId);
  state.text_document.reset();
  create_editor(state);
  // The layout below asks for line counts: of the new, empty control, not of the old text.
  state.cached_text.reset();
  track_loaded_text(state, u"");
  note_text_read(state, nullptr);
  SetWindowPos(state.editor, old_editor, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // Every format, mode and zoom goes to the new control, not only those that changed.
  state.applied_text_format.reset();
  state.applied_word_wrap.reset();
  state.applied_zoom_numerator.reset();
  apply_view_settings(state);
  if (focused) SetFocus(state.editor);
  if (state.lines.depth == 0) {
    DestroyWindow(old_editor);
    return;
  }
  ShowWindow(old_editor, SW_HIDE);
  PostMessageW(state.main_window, kMessageRetireEditor, reinterpret_cast<WPARAM>(old_editor), 0);
}

}  // namespace

void replace_all_text(MainWindowState& state, std::u16string text) {
  state.whole_text_undo.reset();
  state.whole_text_redo.reset();
  if (editor_text_length(state.editor) > kRenewEditorAbove) renew_editor(state);
  state.loading = true;
  lay_out_for_load(state, text);
  // The load is never undoable, but the control records a step for every line it inserts and
  // then frees them all: half the time of a 10 MiB load.
  SendMessageW(state.editor, EM_SETUNDOLIMIT, 0, 0);
  const bool has_null = std::u16string_view(text).find(u'\0') != std::u16string_view::npos;
  if (has_null) {
    // A set text ends at the first U+0000; a streamed one keeps them. Only then: under Wine a
    // streamed text sometimes loads many times slower, and re-wraps slower ever after.
    StreamSource source = {text.data(), text.size()};
    EDITSTREAM stream = {reinterpret_cast<DWORD_PTR>(&source), 0, stream_text_in};
    SendMessageW(state.editor, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
  } else {
    SETTEXTEX options = {ST_DEFAULT, 1200};
    SendMessageW(state.editor, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&options),
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(state.editor, EM_SETUNDOLIMIT, kUndoLimit, 0);
  SendMessageW(state.editor, EM_EMPTYUNDOBUFFER, 0, 0);
  if (state.text_document) state.text_document->SetDefaultTabStop(state.default_tab_stop);
  state.loading = false;
  set_editor_selection(state.editor, 0, 0);
  state.load_lost_units = 0;
  if (has_null) {
    // A control that drops U+0000 would save less than the file held: keep what it holds, so
    // that the cached text never differs from it, and let the save ask first.
    std::u16string held = text_held_by(state.editor);
    if (held != text) {
      state.load_lost_units = text.size() > held.size() ? text.size() - held.size() : 1;
      text = std::move(held);
    }
  }
  track_loaded_text(state, text);
  state.cached_text = std::make_shared<const std::u16string>(std::move(text));
  note_text_read(state, state.cached_text);
}

std::size_t editor_text_length(HWND editor) {
  GETTEXTLENGTHEX query = {GTL_PRECISE | GTL_NUMCHARS, 1200};
  const LRESULT length = SendMessageW(editor, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
  return length > 0 ? static_cast<std::size_t>(length) : 0;
}

EditorSelectionRange editor_selection(HWND editor) {
  CHARRANGE range = {0, 0};
  SendMessageW(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  const std::size_t length = editor_text_length(editor);
  EditorSelectionRange selection;
  selection.start = std::min(static_cast<std::size_t>(std::max<LONG>(range.cpMin, 0)), length);
  selection.end = std::min(std::max(static_cast<std::size_t>(std::max<LONG>(range.cpMax, 0)), selection.start), length);
  return selection;
}

void set_editor_selection(HWND editor, std::size_t start, std::size_t end) {
  CHARRANGE range = {static_cast<LONG>(std::min<std::size_t>(start, LONG_MAX)),
                     static_cast<LONG>(std::min<std::size_t>(end, LONG_MAX))};
  SendMessageW(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

std::shared_ptr<const std::u16string> editor_text(MainWindowState& state) {
  if (state.cached_text) return state.cached_text;
  state.cached_text = std::make_shared<const std::u16string>(text_held_by(state.editor));
  note_text_read(state, state.cached_text);
  return state.cached_text;
}

std::optional<std::u16string> editor_text_range(HWND editor, std::size_t start, std::size_t end) {
  if (end < start || end > static_cast<std::size_t>(LONG_MAX)) return std::nullopt;
  std::u16string text(end - start + 1, u'\0');
  TEXTRANGEW range = {{static_cast<LONG>(start), static_cast<LONG>(end)}, reinterpret_cast<wchar_t*>(text.data())};
  const LRESULT copied = SendMessageW(editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  if (copied < 0 || static_cast<std::size_t>(copied) != end - start) return std::nullopt;
  text.resize(end - start);
  return text;
}

long long editor_zoom_numerator(MainWindowState& state) {
  const unsigned system_dpi = std::max<UINT>(GetDpiForSystem(), 96);
  return static_cast<long long>(
      std::clamp<double>(std::round(1000.0 * state.zoom * window_dpi(state.main_window) / system_dpi), INT_MIN, INT_MAX));
}

bool relayout_in_new_editor(MainWindowState& state) {
  if (editor_text_length(state.editor) <= kRenewEditorAbove) return false;
  // The control's own history would be lost (its class procedure answers for it alone); a
  // Replace All kept beside it still applies to the same text in the new control.
  const auto control = reinterpret_cast<WNDPROC>(GetClassLongPtrW(state.editor, GCLP_WNDPROC));
  if (CallWindowProcW(control, state.editor, EM_CANUNDO, 0, 0) != 0 ||
      CallWindowProcW(control, state.editor, EM_CANREDO, 0, 0) != 0) {
    return false;
  }
  std::optional<WholeTextStep> undo = std::move(state.whole_text_undo);
  std::optional<WholeTextStep> redo = std::move(state.whole_text_redo);
  const EditorSelectionRange selection = editor_selection(state.editor);
  const LRESULT top_row = SendMessageW(state.editor, EM_GETFIRSTVISIBLELINE, 0, 0);
  const LRESULT top = SendMessageW(state.editor, EM_LINEINDEX, static_cast<WPARAM>(std::max<LRESULT>(top_row, 0)), 0);
  // The load forgets what the control dropped from the file; the next save still has to ask.
  const std::size_t lost_units = state.load_lost_units;
  std::u16string text = *editor_text(state);
  replace_all_text(state, std::move(text));
  state.load_lost_units = lost_units;
  state.whole_text_undo = std::move(undo);
  state.whole_text_redo = std::move(redo);
  set_editor_selection(state.editor, selection.start, selection.end);
  if (top > 0) {
    const LRESULT row = SendMessageW(state.editor, EM_EXLINEFROMCHAR, 0, top);
    const LRESULT shown = SendMessageW(state.editor, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(state.editor, EM_LINESCROLL, 0, row - shown);
  }
  return true;
}

void set_zoom(MainWindowState& state, double zoom) {
  state.zoom = zoom;
  if (state.applied_zoom_numerator != editor_zoom_numerator(state) && relayout_in_new_editor(state)) return;
  zoom_step(state);
}

void zoom_step(MainWindowState& state) {
  const AppSettings settings = state.settings.read();
  const unsigned window_dpi_value = window_dpi(state.main_window);
  const unsigned system_dpi = std::max<UINT>(GetDpiForSystem(), 96);

  const long long numerator = editor_zoom_numerator(state);
  // The control lays out the whole text again even for the zoom it has.
  if (state.applied_zoom_numerator != numerator) {
    state.loading = true;
    SendMessageW(state.editor, EM_SETZOOM, static_cast<WPARAM>(numerator), 1000);
    state.loading = false;
    state.applied_zoom_numerator = numerator;
  }

  // Eight widths of "x" at the zoomed size, in points at zoom 1.
  {
    const LONG width = width_in_editor_font(settings, zoomed_font_height(settings, state.zoom, system_dpi), std::u16string(100, u'x'));
    state.default_tab_stop = static_cast<float>((width / 100.0 * 8 - 0.1) / state.zoom * 72.0 / system_dpi);
    if (state.text_document) state.text_document->SetDefaultTabStop(state.default_tab_stop);
  }

  state.gutter_font.reset(make_editor_font(settings, zoomed_font_height(settings, state.zoom, window_dpi_value)));
  {
    WindowDc dc(state.main_window);
    SelectedObject selected(dc.get(), state.gutter_font.get());
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc.get(), L"0", 1, &size);
    state.digit_width = static_cast<unsigned>(std::max<LONG>(size.cx, 1));
  }

  if (state.gutter != nullptr) InvalidateRect(state.gutter, nullptr, FALSE);
  layout_main_window(state);
  refresh_status_bar(state);
}

}  // namespace wrenfold::ui
