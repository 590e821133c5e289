#include "find_options.h"

#include <string_view>

namespace wrenfold::ui {
namespace {

bool checked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

void set_checked(HWND window, int id, bool on) { CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED); }

}  // namespace

std::u16string options_summary(const FindOptions& options) {
  std::u16string summary;
  const auto add = [&summary](std::u16string_view part) {
    if (!summary.empty()) summary += u" \u00B7 ";
    summary += part;
  };
  if (options.mode == SearchMode::Extended) add(u"Extended");
  if (options.mode == SearchMode::RegularExpression) add(u"Regular expression");
  if (options.mode == SearchMode::RegularExpression && options.dot_matches_newline) add(u". matches newline");
  if (options.match_case) add(u"Match case");
  if (!options.wrap_around) add(u"No wrap around");
  if (options.up) add(u"Up");
  return summary;
}

FindOptions read_find_options(HWND window) {
  FindOptions options;
  options.mode = checked(window, kExtendedRadio)            ? SearchMode::Extended
                 : checked(window, kRegularExpressionRadio) ? SearchMode::RegularExpression
                                                            : SearchMode::Normal;
  options.match_case = checked(window, kMatchCaseBox);
  options.wrap_around = checked(window, kWrapAroundBox);
  options.dot_matches_newline = checked(window, kDotMatchesNewlineBox);
  options.up = checked(window, kUpRadio);
  return options;
}

void show_find_options(HWND window, const FindOptions& options) {
  CheckRadioButton(window, kNormalRadio, kRegularExpressionRadio,
                   kNormalRadio + static_cast<int>(options.mode));
  CheckRadioButton(window, kUpRadio, kDownRadio, options.up ? kUpRadio : kDownRadio);
  set_checked(window, kMatchCaseBox, options.match_case);
  set_checked(window, kWrapAroundBox, options.wrap_around);
  set_checked(window, kDotMatchesNewlineBox, options.dot_matches_newline);
  EnableWindow(GetDlgItem(window, kDotMatchesNewlineBox), options.mode == SearchMode::RegularExpression);
}

SearchRequest read_search_request(HWND window) {
  const FindOptions options = read_find_options(window);
  SearchRequest request;
  request.find_text = control_text(window, kFindWhatBox);
  request.match_case = options.match_case;
  request.wrap_around = options.wrap_around;
  request.dot_matches_newline = options.dot_matches_newline;
  request.mode = options.mode;
  return request;
}

}  // namespace wrenfold::ui
