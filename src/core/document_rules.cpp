#include "document_rules.h"

#include <algorithm>

#include "number_format.h"

namespace wrenfold {
namespace {

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

}  // namespace

std::u16string path_file_name(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return std::u16string(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

std::optional<std::u16string> path_parent(std::u16string_view path) {
  std::size_t separator = path.find_last_of(u"\\/");
  if (separator == std::u16string_view::npos) return std::nullopt;
  // Runs of separators belong to the separator, not to the folder name before them.
  std::size_t end = separator;
  while (end > 0 && is_separator(path[end - 1])) --end;
  const bool drive_root = end == 2 && path[1] == u':';
  if (end == 0 || drive_root) end = separator + 1;
  if (end == path.size()) return std::nullopt;  // the path is itself a root
  return std::u16string(path.substr(0, end));
}

bool same_path_components(std::u16string_view first, std::u16string_view second) {
  // A leading separator (a root, or the two of a network path) is a component of its own.
  const auto leading = [](std::u16string_view path) {
    std::size_t count = 0;
    while (count < path.size() && is_separator(path[count])) ++count;
    return count;
  };
  if (leading(first) != leading(second)) return false;
  std::size_t a = 0;
  std::size_t b = 0;
  while (true) {
    while (a < first.size() && is_separator(first[a])) ++a;
    while (b < second.size() && is_separator(second[b])) ++b;
    if (a == first.size() || b == second.size()) return a == first.size() && b == second.size();
    std::size_t a_end = a;
    std::size_t b_end = b;
    while (a_end < first.size() && !is_separator(first[a_end])) ++a_end;
    while (b_end < second.size() && !is_separator(second[b_end])) ++b_end;
    if (first.substr(a, a_end - a) != second.substr(b, b_end - b)) return false;
    a = a_end;
    b = b_end;
  }
}

std::u16string megabytes_text(std::uint64_t size, std::u16string_view separator) {
  constexpr std::uint64_t kMebibyte = 1'048'576;
  const std::uint64_t whole = size / kMebibyte + (size % kMebibyte >= kMebibyte / 2 ? 1 : 0);
  return group_thousands(whole, separator);
}

std::optional<std::u16string> large_file_question(std::u16string_view name, std::uint64_t size,
                                                  std::u16string_view separator) {
  if (size <= kLargeFileBytes) return std::nullopt;
  std::u16string text(name);
  text += u" is ";
  text += megabytes_text(size, separator);
  text += u" MB. Large files can take a while to open and use a lot of memory.\n\nOpen it anyway?";
  return text;
}

SelectionRange clamp_restored_selection(SelectionRange selection, std::size_t old_length,
                                        std::size_t new_length) {
  SelectionRange result;
  result.start = std::min(selection.start, new_length);
  result.end = std::min({selection.end, old_length, new_length});
  result.end = std::max(result.end, result.start);
  return result;
}

}  // namespace wrenfold
