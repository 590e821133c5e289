// The menu bar's fonts, item rectangles and painting.

#include <map>
#include <string>
#include <utility>

#include "layout.h"
#include "menubar.h"
#include "paint_buffer.h"
#include "popup.h"
#include "theme.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr const wchar_t* kTitles[kMenuBarTitleCount] = {L"&File", L"&Edit", L"&View"};
constexpr wchar_t kSettingsGlyph[] = L"\uE713";

struct FontFaces {
  const wchar_t* preferred;
  const wchar_t* fallback;
  int height_at_96;
};
constexpr FontFaces kTextFont = {L"Segoe UI Variable Text", L"Segoe UI", 14};
constexpr FontFaces kIconFont = {L"Segoe Fluent Icons", L"Segoe MDL2 Assets", 16};

thread_local std::map<std::pair<unsigned, bool>, UniqueFont> t_menubar_fonts;

UniqueFont create_font(const wchar_t* face, int height) {
  LOGFONTW description = {};
  description.lfHeight = height;
  description.lfWeight = FW_NORMAL;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
  return UniqueFont(CreateFontIndirectW(&description));
}

// The font mapper hands out some other face when the wanted one is not installed.
bool has_face(HFONT font, const wchar_t* face) {
  const WindowDc screen(nullptr);
  const SelectedObject selected(screen.get(), font);
  wchar_t actual[LF_FACESIZE] = {};
  GetTextFaceW(screen.get(), LF_FACESIZE, actual);
  return lstrcmpiW(actual, face) == 0;
}

UniqueFont create_menubar_font(unsigned dpi, bool icon) {
  const FontFaces& faces = icon ? kIconFont : kTextFont;
  const int height = -static_cast<int>(dpi * faces.height_at_96 / 96);
  UniqueFont font = create_font(faces.preferred, height);
  if (!font || !has_face(font.get(), faces.preferred)) font = create_font(faces.fallback, height);
  return font;
}

int title_width(HDC dc, const wchar_t* title) {
  RECT rect = {0, 0, 0, 0};
  DrawTextW(dc, title, -1, &rect, DT_SINGLELINE | DT_CALCRECT);
  return rect.right - rect.left;
}

}  // namespace

HFONT menubar_font(unsigned dpi, bool icon) {
  UniqueFont& font = t_menubar_fonts[{dpi, icon}];
  if (!font) font = create_menubar_font(dpi, icon);
  return font.get();
}

MenuBarLayout compute_menubar_layout(unsigned dpi, int width, int height,
                                     const std::array<int, kMenuBarTitleCount>& title_widths) {
  const int d = static_cast<int>(dpi);
  const int padding = (d * 10 / 96) * 2;
  MenuBarLayout layout;
  int left = d / 24;
  for (int index = 0; index < kMenuBarTitleCount; ++index) {
    layout[index] = {left, 0, left + title_widths[index] + padding, height};
    left = layout[index].right;
  }
  const int settings_right = width - d / 12;
  layout[kMenuBarSettingsItem] = {settings_right - d * 40 / 96, 0, settings_right, height};
  return layout;
}

std::array<int, kMenuBarTitleCount> menubar_title_widths(unsigned dpi) {
  const WindowDc screen(nullptr);
  const SelectedObject font(screen.get(), menubar_font(dpi, false));
  std::array<int, kMenuBarTitleCount> widths{};
  for (int index = 0; index < kMenuBarTitleCount; ++index) widths[index] = title_width(screen.get(), kTitles[index]);
  return widths;
}

MenuBarLayout menubar_layout(HWND bar) {
  const unsigned dpi = window_dpi(bar);
  RECT client = {0, 0, 0, 0};
  GetClientRect(bar, &client);
  return compute_menubar_layout(dpi, client.right, client.bottom, menubar_title_widths(dpi));
}

std::optional<int> hit_test_layout(const MenuBarLayout& layout, POINT point) {
  for (int index = 0; index < kMenuBarItemCount; ++index) {
    if (PtInRect(&layout[index], point)) return index;
  }
  return std::nullopt;
}

std::optional<int> menubar_hit_test(int x, int y) {
  const HWND bar = menubar_state().window;
  if (bar == nullptr) return std::nullopt;
  return hit_test_layout(menubar_layout(bar), POINT{x, y});
}

void paint_menubar(HDC dc, unsigned dpi, int width, int height) {
  const ThemeColors& palette = current_palette();
  const MenuBarState& state = menubar_state();
  const int d = static_cast<int>(dpi);
  fill_rect(dc, RECT{0, 0, width, height}, palette.background);
  fill_rect(dc, RECT{0, height - 1, width, height}, palette.divider);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, palette.text);

  const MenuBarLayout layout = compute_menubar_layout(dpi, width, height, menubar_title_widths(dpi));
  for (int index = 0; index < kMenuBarItemCount; ++index) {
    const RECT& item = layout[index];
    const bool is_hot = state.hot && state.hot_index == index;
    const bool is_open = state.open && state.open_index == index;
    if (is_hot || is_open) {
      const RECT fill = {item.left + d / 48, item.top + d / 24, item.right - (d / 48 - 1),
                         item.bottom - (d * 5 / 96 - 1)};
      fill_round_rect(dc, fill, d / 12, is_open ? palette.pressed : palette.hover);
    }
    RECT label = item;
    label.bottom -= 1;
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (index == kMenuBarSettingsItem) {
      const SelectedObject font(dc, menubar_font(dpi, true));
      DrawTextW(dc, kSettingsGlyph, -1, &label, format | DT_NOPREFIX);
    } else {
      const SelectedObject font(dc, menubar_font(dpi, false));
      const std::u16string title(reinterpret_cast<const char16_t*>(kTitles[index]));
      const std::u16string shown = state.show_cues ? title : label_without_markers(title);
      DrawTextW(dc, reinterpret_cast<const wchar_t*>(shown.c_str()), -1, &label,
                format | (state.show_cues ? 0 : DT_NOPREFIX));
    }
  }
}

}  // namespace wrenfold::ui
