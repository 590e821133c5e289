#include "edits.h"

#include <algorithm>
#include <cmath>

namespace wrenfold {
namespace {

constexpr char16_t kCr = u'\r';
constexpr std::size_t kMaxOutdentSpaces = 8;

std::size_t line_start(std::u16string_view text, std::size_t position) {
  if (position == 0) return 0;
  const std::size_t before = text.rfind(kCr, position - 1);
  return before == std::u16string_view::npos ? 0 : before + 1;
}

std::size_t line_end(std::u16string_view text, std::size_t position) {
  const std::size_t at = text.find(kCr, position);
  return at == std::u16string_view::npos ? text.size() : at;
}

struct Selection {
  std::size_t start;
  std::size_t end;
};

Selection clamp(std::u16string_view text, std::size_t start, std::size_t end) {
  start = std::min(start, text.size());
  end = std::min(std::max(end, start), text.size());
  return {start, end};
}

// The lines the selection touches, from the start of the first to the end (before the CR)
// of the last. A selection that ends at the start of a line does not touch that line.
struct Block {
  std::size_t start;
  std::size_t end;
};

Block touched_block(std::u16string_view text, Selection selection) {
  std::size_t last = selection.end;
  if (selection.end > selection.start && text[selection.end - 1] == kCr) --last;
  return {line_start(text, selection.start), line_end(text, std::max(last, selection.start))};
}

TextEdit replace_block(Block block, std::u16string replacement, std::size_t selection_start,
                       std::size_t selection_end) {
  return TextEdit{block.start, block.end - block.start, std::move(replacement), selection_start,
                  selection_end};
}

double snap_zoom(double zoom, int tenths) {
  const double stepped = (std::round(zoom * 10.0) + tenths) / 10.0;
  return std::clamp(stepped, 0.1, 5.0);
}

}  // namespace

std::optional<TextEdit> new_line_with_indent(std::u16string_view text, std::size_t selection_start,
                                             std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  const std::size_t start = line_start(text, selection.start);
  std::size_t indent_end = start;
  while (indent_end < selection.start && (text[indent_end] == u' ' || text[indent_end] == u'\t')) {
    ++indent_end;
  }
  std::u16string inserted(1, kCr);
  inserted.append(text.substr(start, indent_end - start));
  const std::size_t caret = selection.start + inserted.size();
  return TextEdit{selection.start, selection.end - selection.start, std::move(inserted), caret, caret};
}

std::optional<TextEdit> indent_lines(std::u16string_view text, std::size_t selection_start,
                                     std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  const std::u16string_view selected = text.substr(selection.start, selection.end - selection.start);
  if (selected.find(kCr) == std::u16string_view::npos) {
    const std::size_t caret = selection.start + 1;
    return TextEdit{selection.start, selected.size(), u"\t", caret, caret};
  }
  const Block block = touched_block(text, selection);
  std::u16string rewritten;
  bool changed = false;
  std::size_t at = block.start;
  for (;;) {
    const std::size_t end = std::min(line_end(text, at), block.end);
    if (end > at) {
      rewritten += u'\t';
      changed = true;
    }
    rewritten.append(text.substr(at, end - at));
    if (end >= block.end) break;
    rewritten += kCr;
    at = end + 1;
  }
  if (!changed) return std::nullopt;
  const std::size_t new_end = block.start + rewritten.size();
  return replace_block(block, std::move(rewritten), block.start, new_end);
}

std::optional<TextEdit> outdent_lines(std::u16string_view text, std::size_t selection_start,
                                      std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  const Block block = touched_block(text, selection);
  std::u16string rewritten;
  std::size_t removed_total = 0;
  std::size_t at = block.start;
  for (;;) {
    const std::size_t end = std::min(line_end(text, at), block.end);
    std::size_t removed = 0;
    if (at < end && text[at] == u'\t') {
      removed = 1;
    } else {
      while (removed < kMaxOutdentSpaces && at + removed < end && text[at + removed] == u' ') ++removed;
    }
    removed_total += removed;
    rewritten.append(text.substr(at + removed, end - at - removed));
    if (end >= block.end) break;
    rewritten += kCr;
    at = end + 1;
  }
  if (removed_total == 0) return std::nullopt;
  const bool one_line = text.substr(block.start, block.end - block.start).find(kCr) ==
                        std::u16string_view::npos;
  if (one_line) {
    const auto moved_left = [&](std::size_t position) {
      return position >= block.start + removed_total ? position - removed_total : block.start;
    };
    return replace_block(block, std::move(rewritten), moved_left(selection.start),
                         moved_left(selection.end));
  }
  const std::size_t new_end = block.start + rewritten.size();
  return replace_block(block, std::move(rewritten), block.start, new_end);
}

std::optional<TextEdit> duplicate_lines(std::u16string_view text, std::size_t selection_start,
                                        std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  if (selection.start == selection.end) {
    const std::size_t start = line_start(text, selection.start);
    const std::size_t end = line_end(text, selection.start);
    std::u16string copy(1, kCr);
    copy.append(text.substr(start, end - start));
    return TextEdit{end, 0, std::move(copy), selection.start, selection.start};
  }
  return TextEdit{selection.end, 0,
                  std::u16string(text.substr(selection.start, selection.end - selection.start)),
                  selection.start, selection.end};
}

std::optional<TextEdit> move_lines_down(std::u16string_view text, std::size_t selection_start,
                                        std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  const Block block = touched_block(text, selection);
  if (block.end >= text.size()) return std::nullopt;
  const std::size_t next_end = line_end(text, block.end + 1);
  const std::u16string_view next = text.substr(block.end + 1, next_end - block.end - 1);
  std::u16string rewritten(next);
  rewritten += kCr;
  rewritten.append(text.substr(block.start, block.end - block.start));
  // A selection that took in the block's final CR would otherwise reach past the text.
  const std::size_t shift = next.size() + 1;
  return replace_block({block.start, next_end}, std::move(rewritten),
                       std::min(selection.start + shift, text.size()),
                       std::min(selection.end + shift, text.size()));
}

std::optional<TextEdit> move_lines_up(std::u16string_view text, std::size_t selection_start,
                                      std::size_t selection_end) {
  const Selection selection = clamp(text, selection_start, selection_end);
  const Block block = touched_block(text, selection);
  if (block.start == 0) return std::nullopt;
  const std::size_t previous_start = line_start(text, block.start - 1);
  const std::u16string_view previous = text.substr(previous_start, block.start - 1 - previous_start);
  std::u16string rewritten(text.substr(block.start, block.end - block.start));
  rewritten += kCr;
  rewritten.append(previous);
  const std::size_t shift = previous.size() + 1;
  return replace_block({previous_start, block.end}, std::move(rewritten), selection.start - shift,
                       selection.end - shift);
}

double zoom_in(double zoom) { return snap_zoom(zoom, 1); }
double zoom_out(double zoom) { return snap_zoom(zoom, -1); }

TextEdit edit_of_changed_lines(std::u16string_view before, std::u16string_view after) {
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t prefix = static_cast<std::size_t>(
      std::mismatch(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(shorter), after.begin()).first -
      before.begin());
  while (prefix > 0 && before[prefix - 1] != u'\r') --prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
  // The kept end begins a line (the start of the change already does).
  while (suffix > 0 && before.size() - suffix > prefix && before[before.size() - suffix - 1] != u'\r') --suffix;
  TextEdit edit;
  edit.start = prefix;
  edit.length = before.size() - suffix - prefix;
  edit.replacement = after.substr(prefix, after.size() - suffix - prefix);
  edit.selection_start = edit.selection_end = prefix + edit.replacement.size();
  return edit;
}

}  // namespace wrenfold
