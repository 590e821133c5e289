#include "search.h"

#include <algorithm>
#include <vector>

#include "boost_format.h"
#include "codec.h"
#include "extended_escapes.h"
#include "fold_table.h"
#include "literal_search.h"
#include "number_format.h"
#include "pcre_regex.h"
#include "platform.h"
#include "result.h"
#include "utf.h"

namespace wrenfold {
namespace {

struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
};

using Found = FoundMatch;
using FindResult = Result<std::optional<Found>>;

// How one operation looks for matches in one snapshot of the text.
struct Finder {
  std::u16string_view text;
  // Normal and Extended modes.
  std::u16string needle;  // folded when the search ignores case
  bool fold = false;
  // Regular expression mode: the compiled pattern and the text with LF for every CR, so
  // that positions carry over and the pattern's newline is LF.
  PatternHandle pattern;
  std::u16string subject;
};

bool is_regex(const Finder& finder) { return finder.pattern != nullptr; }

// The compiled pattern in Regular expression mode, nothing in the literal modes.
Result<PatternHandle> prepare_pattern(const SearchRequest& request) {
  if (request.mode != SearchMode::RegularExpression) return PatternHandle();
  return compile(request);
}

std::u16string with_lf_breaks(std::u16string_view text) {
  std::u16string subject(text);
  std::replace(subject.begin(), subject.end(), u'\r', u'\n');
  return subject;
}

Finder make_finder(const SearchRequest& request, std::u16string_view text, PatternHandle pattern) {
  Finder finder;
  finder.text = text;
  if (pattern) {
    finder.pattern = std::move(pattern);
    finder.subject = with_lf_breaks(text);
    return finder;
  }
  finder.fold = !request.match_case;
  if (request.mode == SearchMode::Extended) {
    finder.needle = normalize_line_breaks(parse_extended(request.find_text));
  } else {
    finder.needle = request.find_text;
  }
  if (finder.fold) finder.needle = fold_text(finder.needle);
  return finder;
}

std::optional<Found> found_at(std::size_t at, std::size_t length) {
  if (at == kNotFound) return std::nullopt;
  return Found{at, length};
}

std::optional<Found> whole_match(const std::optional<RegexMatch>& match) {
  if (!match || match->groups.empty() || !match->groups[0]) return std::nullopt;
  const CaptureSpan span = *match->groups[0];
  return Found{span.start, span.end - span.start};
}

// The first match at or after `start`.
FindResult match_forward(const Finder& finder, std::size_t start) {
  if (is_regex(finder)) {
    Result<std::optional<RegexMatch>> match = match_at(*finder.pattern, finder.subject, start, kMatchDefault);
    if (!match) return match.error();
    return whole_match(*match);
  }
  if (finder.needle.empty()) return std::optional<Found>();
  const std::size_t at = finder.fold ? find_first_folded(finder.text, finder.needle, start)
                                     : find_first(finder.text, finder.needle, start);
  return found_at(at, finder.needle.size());
}

// The last match that ends at or before `bound`.
FindResult match_backward(const Finder& finder, std::size_t bound) {
  if (is_regex(finder)) return find_backward(*finder.pattern, finder.subject, bound);
  if (finder.needle.empty()) return std::optional<Found>();
  const std::size_t at = finder.fold ? find_last_folded(finder.text, finder.needle, bound)
                                     : find_last(finder.text, finder.needle, bound);
  return found_at(at, finder.needle.size());
}

FindResult search_forward(const Finder& finder, std::size_t start, bool wrap_around) {
  FindResult found = match_forward(finder, start);
  if (found && !*found && start != 0 && wrap_around) found = match_forward(finder, 0);
  return found;
}

FindResult search_down(const Finder& finder, Span selection, bool wrap_around) {
  FindResult found = search_forward(finder, selection.end, wrap_around);
  if (!found || !*found) return found;
  // An empty match right at an empty selection would keep the caret where it is: look after
  // it, one code point on, so that the caret never lands inside a surrogate pair.
  const Found match = **found;
  const std::size_t caret = match.start;
  if (match.length == 0 && selection.start == selection.end && caret == selection.start &&
      caret < finder.text.size()) {
    const bool pair = caret + 1 < finder.text.size() && utf::is_high_surrogate(finder.text[caret]) &&
                      utf::is_low_surrogate(finder.text[caret + 1]);
    return search_forward(finder, caret + (pair ? 2 : 1), wrap_around);
  }
  return found;
}

// The last match ending at or before `bound`, or before the text's start when `bound` is
// nothing; then, with wrap-around, the last one of the whole text.
FindResult search_backward(const Finder& finder, std::optional<std::size_t> bound, bool wrap_around) {
  FindResult found = bound ? match_backward(finder, *bound) : FindResult(std::optional<Found>());
  if (found && !*found && wrap_around && (!bound || *bound < finder.text.size())) {
    found = match_backward(finder, finder.text.size());
  }
  return found;
}

FindResult search_up(const Finder& finder, Span selection, bool wrap_around) {
  const std::size_t caret = std::min(finder.text.size(), selection.start);
  FindResult found = search_backward(finder, caret, wrap_around);
  if (!found || !*found) return found;
  // An empty match right at an empty selection would keep the caret where it is: look
  // before it, one code point back (or, at the very start, only by wrapping around).
  const Found match = **found;
  if (match.length == 0 && selection.start == selection.end && match.start == caret) {
    std::optional<std::size_t> before;
    if (caret > 0) {
      const bool pair = caret >= 2 && (finder.text[caret - 1] & 0xFC00) == 0xDC00 &&
                        (finder.text[caret - 2] & 0xFC00) == 0xD800;
      before = caret - (pair ? 2 : 1);
    }
    return search_backward(finder, before, wrap_around);
  }
  return found;
}

Span clamp_selection(EditorSelection raw, std::size_t length) {
  const auto non_negative = [](std::int64_t v) { return static_cast<std::size_t>(std::max<std::int64_t>(v, 0)); };
  Span span;
  span.start = std::min(non_negative(raw.start), length);
  span.end = std::min(std::max(non_negative(raw.end), span.start), length);
  return span;
}

std::u16string prepared_replacement(const SearchRequest& request, std::u16string_view replacement) {
  if (request.mode == SearchMode::Extended) {
    return normalize_line_breaks(parse_extended(replacement));
  }
  return std::u16string(replacement);
}

// The replacement for the selection when the selection is exactly a match; failures of the
// match come back as the message.
Result<std::optional<std::u16string>> replacement_for_selection(const Finder& finder, Span selection,
                                                                const SearchRequest& request,
                                                                std::u16string_view replacement) {
  if (is_regex(finder)) {
    Result<std::optional<RegexMatch>> match =
        match_at(*finder.pattern, finder.subject, selection.start, kMatchDefault);
    if (!match) return match.error();
    const std::optional<Found> found = whole_match(*match);
    if (!found || found->start != selection.start || found->start + found->length != selection.end) {
      return std::optional<std::u16string>();
    }
    return std::optional<std::u16string>(
        normalize_line_breaks(expand_format(replacement, **match, finder.subject, 0)));
  }
  const std::size_t length = selection.end - selection.start;
  if (finder.needle.empty() || length != finder.needle.size()) return std::optional<std::u16string>();
  const std::u16string_view selected = finder.text.substr(selection.start, length);
  const bool equal = finder.fold ? fold_text(selected) == finder.needle : selected == finder.needle;
  if (!equal) return std::optional<std::u16string>();
  return std::optional<std::u16string>(prepared_replacement(request, replacement));
}

std::u16string not_found_message(std::u16string_view find_text) {
  return u"Can't find \"" + std::u16string(find_text) + u"\"";
}

std::u16string replaced_message(std::size_t count) {
  if (count == 1) return u"Replaced 1 occurrence.";
  return u"Replaced " + group_thousands(count, platform::thousands_separator()) + u" occurrences.";
}

void remember(SearchMemory& memory, const SearchRequest& request) {
  memory.last_search = request;
  remember_find_text(memory.find_history, request.find_text);
}

// Every non-overlapping occurrence, replaced in one pass over the unfolded text.
struct ReplacedText {
  std::u16string text;
  std::size_t count = 0;
};

// One pass over the LF subject. After an empty match the next attempt starts at the same
// place and may not be empty there; it is not anchored, since the JIT would hand an anchored
// attempt to the interpreter, which checks the rest of the subject again every time and
// makes the pass quadratic. Any failure leaves the document as it was.
Result<ReplacedText> replace_every_match(const Finder& finder, std::u16string_view format) {
  const std::u16string& subject = finder.subject;
  ReplacedText result;
  std::size_t position = 0;
  std::size_t previous_end = 0;
  std::uint32_t options = kMatchDefault;
  for (;;) {
    Result<std::optional<RegexMatch>> attempt = match_at(*finder.pattern, subject, position, options);
    if (!attempt) return attempt.error();
    std::optional<Found> found = whole_match(*attempt);
    // A retry only stands for the match at this very place; one further along is found
    // again after the step below, so that \G keeps meaning the step's start.
    if (found && options != kMatchDefault && found->start != position) found.reset();
    if (!found) {
      if (options == kMatchDefault || position >= subject.size()) break;
      // Nothing but the empty match here: step over one code point and go on.
      const bool pair = position + 1 < subject.size() && (subject[position] & 0xFC00) == 0xD800 &&
                        (subject[position + 1] & 0xFC00) == 0xDC00;
      position += pair ? 2 : 1;
      options = kMatchDefault;
      continue;
    }
    const std::size_t copy_from = std::min(previous_end, found->start);
    result.text.append(subject, copy_from, found->start - copy_from);
    std::u16string replacement = normalize_line_breaks(expand_format(format, **attempt, subject, previous_end));
    std::replace(replacement.begin(), replacement.end(), u'\r', u'\n');
    result.text += replacement;
    ++result.count;
    previous_end = found->start + found->length;
    position = previous_end;
    options = found->length == 0 ? kMatchNotEmptyAtStart : kMatchDefault;
  }
  if (result.count == 0) return result;
  result.text.append(subject, std::min(previous_end, subject.size()));
  std::replace(result.text.begin(), result.text.end(), u'\n', u'\r');
  return result;
}

ReplacedText replace_every_occurrence(const Finder& finder, std::u16string_view replacement) {
  ReplacedText result;
  const std::u16string_view text = finder.text;
  const std::size_t m = finder.needle.size();
  if (m == 0) return result;
  const std::u16string folded = finder.fold ? fold_text(text) : std::u16string();
  const std::u16string_view searched = finder.fold ? std::u16string_view(folded) : text;
  std::vector<std::size_t> starts;
  for (std::size_t at = find_first(searched, finder.needle, 0); at != kNotFound;
       at = find_first(searched, finder.needle, at + m)) {
    starts.push_back(at);
  }
  result.count = starts.size();
  if (starts.empty()) return result;
  result.text.reserve(text.size() - starts.size() * m + starts.size() * replacement.size());
  std::size_t copied = 0;
  for (std::size_t at : starts) {
    result.text.append(text.substr(copied, at - copied));
    result.text.append(replacement);
    copied = at + m;
  }
  result.text.append(text.substr(copied));
  return result;
}

}  // namespace

SearchOutcome find_next(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                        bool up) {
  if (request.find_text.empty()) return u"Enter text to find.";
  Result<PatternHandle> pattern = prepare_pattern(request);
  if (!pattern) return pattern.error().message;
  remember(memory, request);
  // A copy patched from the edits since the last read spares reading the whole text back; a
  // match found in it counts only once the editor shows the same text there.
  if (const std::shared_ptr<const std::u16string> patched = editor.patched_snapshot()) {
    const Span selection = clamp_selection(editor.selection(), patched->size());
    const Finder finder = make_finder(request, *patched, std::move(*pattern));
    const FindResult found = up ? search_up(finder, selection, request.wrap_around)
                                : search_down(finder, selection, request.wrap_around);
    if (found && *found) {
      const Found& match = **found;
      // One unit either side as well: anchors and word boundaries look at them.
      const std::size_t from = match.start > 0 ? match.start - 1 : 0;
      const std::size_t to = std::min(match.start + match.length + 1, patched->size());
      if (editor.holds(from, std::u16string_view(*patched).substr(from, to - from))) {
        editor.set_selection(match.start, match.start + match.length);
        editor.scroll_caret_into_view();
        return std::nullopt;
      }
    }
    // Nothing found, an error, or a copy that has drifted: the text as read decides.
    pattern = prepare_pattern(request);
    if (!pattern) return pattern.error().message;
  }
  const std::shared_ptr<const std::u16string> snapshot = editor.text_snapshot();
  const Span selection = clamp_selection(editor.selection(), snapshot->size());
  const Finder finder = make_finder(request, *snapshot, std::move(*pattern));
  const FindResult found = up ? search_up(finder, selection, request.wrap_around)
                              : search_down(finder, selection, request.wrap_around);
  if (!found) return found.error().message;
  if (!*found) return not_found_message(request.find_text);
  editor.set_selection((*found)->start, (*found)->start + (*found)->length);
  editor.scroll_caret_into_view();
  return std::nullopt;
}

SearchOutcome replace_one(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                          std::u16string_view replacement, bool up) {
  if (request.find_text.empty()) return u"Enter text to find.";
  Result<PatternHandle> pattern = prepare_pattern(request);
  if (!pattern) return pattern.error().message;
  {
    const std::shared_ptr<const std::u16string> snapshot = editor.text_snapshot();
    const Span selection = clamp_selection(editor.selection(), snapshot->size());
    const Finder finder = make_finder(request, *snapshot, std::move(*pattern));
    const Result<std::optional<std::u16string>> replaced =
        replacement_for_selection(finder, selection, request, replacement);
    if (!replaced) return replaced.error().message;
    if (const std::optional<std::u16string>& text = *replaced) {
      editor.replace_selection(*text);
      const std::size_t caret = up ? selection.start : selection.start + text->size();
      editor.set_selection(caret, caret);
    }
  }
  return find_next(editor, memory, request, up);
}

SearchOutcome replace_all(SearchEditor& editor, SearchMemory& memory, const SearchRequest& request,
                          std::u16string_view replacement) {
  if (request.find_text.empty()) return u"Enter text to find.";
  Result<PatternHandle> pattern = prepare_pattern(request);
  if (!pattern) return pattern.error().message;
  remember(memory, request);
  const std::shared_ptr<const std::u16string> snapshot = editor.text_snapshot();
  const Finder finder = make_finder(request, *snapshot, std::move(*pattern));
  Result<ReplacedText> outcome =
      is_regex(finder) ? replace_every_match(finder, replacement)
                       : Result<ReplacedText>(replace_every_occurrence(finder, prepared_replacement(request, replacement)));
  if (!outcome) return outcome.error().message;
  const ReplacedText& replaced = *outcome;
  if (replaced.count == 0) return replaced_message(0);
  const Span selection = clamp_selection(editor.selection(), snapshot->size());
  const std::size_t caret = std::min({selection.start, snapshot->size(), replaced.text.size()});
  editor.set_selection(0, snapshot->size());
  editor.replace_selection(replaced.text);
  editor.set_selection(caret, caret);
  return replaced_message(replaced.count);
}

}  // namespace wrenfold
