#pragma once
// The options of the Find and Replace window: the controls that hold them, the request they
// make, and the one-line summary on the Options header.

#include <windows.h>

#include <cstdint>
#include <string>

#include "form.h"

#include "search_request.h"

namespace wrenfold::ui {

enum FindControl : std::uint16_t {
  kFindWhatBox = 10,
  kReplaceWithBox = 11,
  kFindNextButton = 20,
  kReplaceButton = 21,
  kReplaceAllButton = 22,
  kMatchCaseBox = 30,
  kWrapAroundBox = 31,
  kUpRadio = 32,
  kDownRadio = 33,
  kNormalRadio = 34,
  kExtendedRadio = 35,
  kRegularExpressionRadio = 36,
  kDotMatchesNewlineBox = 37,
  kFindStatusLine = 40,
  kReplaceWithLabel = 41,
  kFindWhatLabel = 42,
  kOptionsHeader = 43,
  kDirectionLabel = 44,
  kSearchModeLabel = 45,
};

struct FindOptions {
  SearchMode mode = SearchMode::Normal;
  bool match_case = false;
  bool wrap_around = true;
  bool dot_matches_newline = false;
  bool up = false;
};

// "Extended · Match case · Up" and so on; empty when everything is at its default.
std::u16string options_summary(const FindOptions& options);

FindOptions read_find_options(HWND window);

// Sets the check boxes and radio buttons; ". matches newline" is enabled only for regular
// expressions.
void show_find_options(HWND window, const FindOptions& options);

// The request the buttons send: the "Find what:" text with the options.
SearchRequest read_search_request(HWND window);


}  // namespace wrenfold::ui
