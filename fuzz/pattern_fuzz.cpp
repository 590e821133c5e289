// Any find text translates, compiles or is refused with a message, and one match on a small
// subject ends with a match, no match or a failure message: never a crash or a hang.
//
// Input: one option byte, then UTF-16 code units (little-endian) of the find text up to a
// 0xFFFF unit, then the subject's units.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "pcre_regex.h"

using namespace wrenfold;

namespace {

std::u16string units_of(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  const std::u16string units = units_of(data + 1, size - 1);
  const std::size_t split = units.find(u'\uFFFF');
  SearchRequest request;
  request.mode = SearchMode::RegularExpression;
  request.match_case = (flags & 1) != 0;
  request.dot_matches_newline = (flags & 2) != 0;
  request.find_text = units.substr(0, split);
  const std::u16string subject =
      split == std::u16string::npos ? std::u16string(u"abc\nd\u00E9f 123") : units.substr(split + 1);

  Result<PatternHandle> pattern = compile(request);
  if (!pattern) {
    if (pattern.error().message.empty()) std::abort();
    return 0;
  }
  const std::size_t start = (flags >> 2) % (subject.size() + 1);
  Result<std::optional<RegexMatch>> match = match_at(**pattern, subject, start, kMatchDefault);
  if (!match) {
    if (match.error().message.empty()) std::abort();
    return 0;
  }
  if (match->has_value()) {
    for (const std::optional<CaptureSpan>& group : (**match).groups) {
      if (group && (group->start > group->end || group->end > subject.size())) std::abort();
    }
  }
  return 0;
}
