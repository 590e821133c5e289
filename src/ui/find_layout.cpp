#include "find_layout.h"

#include <algorithm>

#include "find_options.h"
#include "form.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kEditBoxStyle = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr int kClientWidth = 560;
constexpr int kTabStripHeight = 40;
constexpr int kOptionsBoxLeft = 16;
constexpr int kOptionsBoxRight = 544;
constexpr int kOptionsBoxTopFind = 96;
constexpr int kOptionsBoxTopReplace = 156;
constexpr int kOptionsBoxBottomFull = 284;
constexpr int kFindTabSaving = 60;     // the Replace row the Find tab does without
constexpr int kCollapsedSaving = 96;   // the options panel
constexpr int kStatusLineGap = 8;
constexpr int kBottomMargin = 36;

using Shown = FindControlShown;

constexpr FindControlDefinition kControls[] = {
    {kFindWhatLabel, L"STATIC", L"Find what:", SS_NOPREFIX, 16, 56, 56, 96, 20, Shown::Always},
    {kFindWhatBox, L"EDIT", L"", kEditBoxStyle, 116, 52, 52, 296, 24, Shown::Always},
    {kReplaceWithLabel, L"STATIC", L"Replace with:", SS_NOPREFIX, 16, 88, 88, 96, 20, Shown::ReplaceTab},
    {kReplaceWithBox, L"EDIT", L"", kEditBoxStyle, 116, 84, 84, 296, 24, Shown::ReplaceTab},
    {kFindNextButton, L"BUTTON", L"Find Next", WS_TABSTOP | BS_DEFPUSHBUTTON, 428, 50, 50, 116, 28, Shown::Always},
    {kReplaceButton, L"BUTTON", L"Replace", WS_TABSTOP, 428, 84, 84, 116, 28, Shown::ReplaceTab},
    {kReplaceAllButton, L"BUTTON", L"Replace All", WS_TABSTOP, 428, 118, 118, 116, 28, Shown::ReplaceTab},
    {kOptionsHeader, L"BUTTON", L"&Options", WS_TABSTOP | BS_OWNERDRAW, 17, 97, 157, 526, 30, Shown::Always},
    {kMatchCaseBox, L"BUTTON", L"Match case", WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 28, 138, 198, 150, 22,
     Shown::OptionsPanel},
    {kWrapAroundBox, L"BUTTON", L"Wrap around", WS_TABSTOP | BS_AUTOCHECKBOX, 28, 162, 222, 150, 22,
     Shown::OptionsPanel},
    {kDirectionLabel, L"STATIC", L"Direction:", SS_NOPREFIX, 210, 140, 200, 70, 20, Shown::OptionsPanel},
    {kUpRadio, L"BUTTON", L"Up", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 284, 138, 198, 56, 22,
     Shown::OptionsPanel},
    {kDownRadio, L"BUTTON", L"Down", BS_AUTORADIOBUTTON, 344, 138, 198, 70, 22, Shown::OptionsPanel},
    {kSearchModeLabel, L"STATIC", L"Search mode:", SS_NOPREFIX, 28, 194, 254, 88, 20, Shown::OptionsPanel},
    {kNormalRadio, L"BUTTON", L"Normal", WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 118, 192, 252, 72, 22,
     Shown::OptionsPanel},
    {kExtendedRadio, L"BUTTON", L"Extended", BS_AUTORADIOBUTTON, 192, 192, 252, 84, 22, Shown::OptionsPanel},
    {kRegularExpressionRadio, L"BUTTON", L"Regular expression", BS_AUTORADIOBUTTON, 278, 192, 252, 136, 22,
     Shown::OptionsPanel},
    {kDotMatchesNewlineBox, L"BUTTON", L". matches newline", WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 416, 192,
     252, 124, 22, Shown::OptionsPanel},
    {kFindStatusLine, L"STATIC", L"", SS_NOPREFIX, 16, 0, 0, 528, 20, Shown::Always},
};

int options_box_top(bool replace_mode) { return replace_mode ? kOptionsBoxTopReplace : kOptionsBoxTopFind; }

int options_box_bottom(bool replace_mode, bool options_expanded) {
  return kOptionsBoxBottomFull - (replace_mode ? 0 : kFindTabSaving) - (options_expanded ? 0 : kCollapsedSaving);
}

RECT scaled_rect(int left, int top, int right, int bottom, unsigned dpi) {
  const auto scale = [dpi](int value) { return scale_to_dpi(static_cast<unsigned>(value), dpi); };
  return RECT{scale(left), scale(top), scale(right), scale(bottom)};
}

}  // namespace

std::span<const FindControlDefinition> find_control_definitions() { return kControls; }

bool find_control_shown(const FindControlDefinition& control, bool replace_mode, bool options_expanded) {
  switch (control.shown) {
    case Shown::Always: return true;
    case Shown::ReplaceTab: return replace_mode;
    case Shown::OptionsPanel: return options_expanded;
  }
  return true;
}

RECT find_control_rect(const FindControlDefinition& control, bool replace_mode, bool options_expanded,
                       unsigned dpi) {
  const int y = control.id == kFindStatusLine ? options_box_bottom(replace_mode, options_expanded) + kStatusLineGap
                : replace_mode                ? control.y_replace
                                              : control.y_find;
  return scaled_rect(control.x, y, control.x + control.width, y + control.height, dpi);
}

RECT options_box_rect(bool replace_mode, bool options_expanded, unsigned dpi) {
  return scaled_rect(kOptionsBoxLeft, options_box_top(replace_mode), kOptionsBoxRight,
                     options_box_bottom(replace_mode, options_expanded), dpi);
}

SIZE find_client_size(bool replace_mode, bool options_expanded, unsigned dpi) {
  const int height = options_box_bottom(replace_mode, options_expanded) + kBottomMargin;
  return SIZE{scale_to_dpi(kClientWidth, dpi), scale_to_dpi(static_cast<unsigned>(height), dpi)};
}

int tab_strip_height(unsigned dpi) { return scale_to_dpi(kTabStripHeight, dpi); }

FindTabRects find_tab_rects(int find_label_width, int replace_label_width, unsigned dpi) {
  const int padding = static_cast<int>(dpi / 6);
  const int top = static_cast<int>(dpi / 12);
  const int bottom = tab_strip_height(dpi);
  FindTabRects tabs;
  tabs.find = RECT{padding, top, padding + find_label_width + padding, bottom};
  const int replace_left = tabs.find.right + static_cast<int>(dpi / 12);
  tabs.replace = RECT{replace_left, top, replace_left + replace_label_width + padding, bottom};
  return tabs;
}

POINT find_window_position(const FindPlacementInput& input) {
  const int gap = static_cast<int>(input.dpi / 12);
  LONG x = input.editor_origin.x + input.editor_width - input.window_size.cx - gap;
  LONG y = input.editor_origin.y + input.line_height + gap;
  // Right and bottom first, so that the left and top edges win for a window too large to fit.
  x = std::max(std::min(x, input.work_area.right - input.window_size.cx), input.work_area.left);
  y = std::max(std::min(y, input.work_area.bottom - input.window_size.cy), input.work_area.top);
  return POINT{x, y};
}

}  // namespace wrenfold::ui
