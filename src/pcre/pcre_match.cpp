// Single matches and the backward search.

#include <algorithm>
#include <limits>

#include "pcre_errors.h"
#include "pcre_handles.h"
#include "utf.h"

namespace wrenfold {
namespace {

static_assert(kMatchNotEmptyAtStart == PCRE2_NOTEMPTY_ATSTART);

constexpr std::size_t kFirstBackwardWindow = 1024;
constexpr std::size_t kBackwardWindowGrowth = 4;
// Each attempt of a backward search is charged the code units from its start to the end of
// what it found (or of the subject). A plain search costs a few times the text; starts that
// each match far past the bound (a long run under "a+" with the caret inside it) cost the
// square of the run, and are stopped at this budget instead of freezing the window.
constexpr std::size_t kBackwardWorkFloor = 16 * 1024 * 1024;
constexpr std::size_t kBackwardWorkPerUnit = 16;


// Where the next attempt starts after a match at `start`: one code point further on.
std::size_t after_code_point(std::u16string_view subject, std::size_t start) {
  if (start + 1 < subject.size() && utf::is_high_surrogate(subject[start]) &&
      utf::is_low_surrogate(subject[start + 1])) {
    return start + 2;
  }
  return start + 1;
}

}  // namespace

Result<std::optional<RegexMatch>> match_at(CompiledPattern& pattern, std::u16string_view subject,
                                           std::size_t start, std::uint32_t options) {
  const int rc = pcre2_match(pattern.code.get(), pcre::units(subject), subject.size(), start,
                             options, pattern.match_data.get(), pattern.match_context.get());
  switch (rc) {
    case PCRE2_ERROR_NOMATCH:
      return std::optional<RegexMatch>();
    case PCRE2_ERROR_JIT_STACKLIMIT:
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
      return pcre::search_stopped();
    default:
      if (rc < 0) return pcre::search_failed(rc);
  }

  const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(pattern.match_data.get());
  // rc is one more than the highest group set; 0 would mean the vector was too small,
  // which match data made from the pattern never is.
  const std::size_t pairs_set =
      rc == 0 ? pcre2_get_ovector_count(pattern.match_data.get()) : static_cast<std::size_t>(rc);
  RegexMatch match;
  match.groups.resize(pattern.capture_count + 1);
  for (std::size_t slot = 0; slot < match.groups.size() && slot < pairs_set; ++slot) {
    PCRE2_SIZE slot_start = offsets[2 * slot];
    PCRE2_SIZE slot_end = offsets[2 * slot + 1];
    if (slot_start == PCRE2_UNSET) continue;
    // \K inside a look-ahead can leave the end before the start.
    if (slot_end < slot_start) std::swap(slot_start, slot_end);
    match.groups[slot] = CaptureSpan{slot_start, slot_end};
  }
  match.names = pattern.names;
  return std::optional<RegexMatch>(std::move(match));
}

Result<std::optional<FoundMatch>> find_backward(CompiledPattern& pattern,
                                                std::u16string_view subject, std::size_t bound) {
  bound = std::min(bound, subject.size());
  const std::size_t work_limit =
      subject.size() > (std::numeric_limits<std::size_t>::max() - kBackwardWorkFloor) / kBackwardWorkPerUnit
          ? std::numeric_limits<std::size_t>::max()
          : kBackwardWorkFloor + kBackwardWorkPerUnit * subject.size();
  std::size_t work = 0;
  std::size_t window = kFirstBackwardWindow;
  for (;;) {
    const std::size_t window_start = window < bound ? bound - window : 0;
    std::optional<CaptureSpan> best;
    std::size_t pos = window_start;
    for (;;) {
      Result<std::optional<RegexMatch>> attempt = match_at(pattern, subject, pos, kMatchDefault);
      if (!attempt) return attempt.error();
      const std::size_t reached = attempt->has_value() ? (**attempt).groups[0]->end : subject.size();
      work += std::max(reached, pos) - pos + 1;
      if (work > work_limit) return pcre::search_stopped();
      if (!attempt->has_value()) break;
      const CaptureSpan found = *(**attempt).groups[0];
      if (found.start > bound) break;
      if (found.end <= bound && (!best || found.end > best->end)) best = found;
      // Later attempts start later: none can end later than the bound or start earlier.
      if (best && best->end == bound) break;
      if (found.start >= subject.size()) break;
      pos = after_code_point(subject, found.start);
      if (pos > bound) break;
    }
    const bool window_covers_all = window >= bound;
    if (best && (window_covers_all || window_start < best->start)) {
      return std::optional<FoundMatch>(FoundMatch{best->start, best->end - best->start});
    }
    if (!best && window_covers_all) return std::optional<FoundMatch>();
    window = window > std::numeric_limits<std::size_t>::max() / kBackwardWindowGrowth
                 ? std::numeric_limits<std::size_t>::max()
                 : window * kBackwardWindowGrowth;
  }
}

}  // namespace wrenfold
