// Any replacement format expands for any match record, even one whose spans do not fit the
// text, without a crash, a sanitizer report or a hang.
//
// Input: a subject length byte and a group count byte, then four bytes per group (start,
// end, taking part, spare), then the subject's bytes as units, then the format as UTF-16.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "boost_format.h"

using namespace wrenfold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::size_t pos = 0;
  const std::size_t subject_length = data[pos++] % 64;
  const std::size_t group_count = data[pos++] % 12 + 1;
  const std::size_t previous_end = data[pos++] % 80;

  RegexMatch match;
  for (std::size_t g = 0; g < group_count && pos + 4 <= size; ++g, pos += 4) {
    if (data[pos + 2] & 1) {
      match.groups.emplace_back(CaptureSpan{data[pos] % 80u, data[pos + 1] % 80u});
    } else {
      match.groups.emplace_back();
    }
  }
  auto names = std::make_shared<std::vector<GroupName>>();
  names->push_back({u"w", 1});
  names->push_back({u"x", match.groups.size() + 3});
  match.names = names;

  std::u16string subject;
  for (; subject.size() < subject_length && pos < size; ++pos) {
    subject.push_back(static_cast<char16_t>(data[pos] < 0x80 ? data[pos] : 0xC0 + data[pos]));
  }
  std::u16string format;
  for (; pos + 1 < size; pos += 2) format.push_back(static_cast<char16_t>(data[pos] | (data[pos + 1] << 8)));

  const std::u16string out = expand_format(format, match, subject, previous_end);
  // Each format unit writes at most the subject (an inserted text) or two units.
  if (out.size() > (format.size() + 1) * (subject.size() + 2)) std::abort();
  return 0;
}
