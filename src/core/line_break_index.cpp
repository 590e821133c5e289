#include "line_break_index.h"

#include <algorithm>
#include <iterator>

namespace wrenfold {
namespace {

// Blocks this size keep an edit's rebuild small and the walk over 50 MiB at some 1,600 steps.
constexpr std::size_t kBlockUnits = 32'768;
// A block grown past this by insertions is cut again; one shrunk below the minimum is merged.
constexpr std::size_t kMaximumBlockUnits = 2 * kBlockUnits;
constexpr std::size_t kMinimumBlockUnits = kBlockUnits / 4;

}  // namespace

void LineBreakIndex::append_text(std::vector<Block>& blocks, std::u16string_view text) const {
  for (std::size_t offset = 0; offset < text.size(); offset += kBlockUnits) {
    const std::u16string_view part = text.substr(offset, kBlockUnits);
    Block block;
    block.length = part.size();
    for (std::size_t i = 0; i < part.size(); ++i) {
      if (part[i] == u'\r') block.breaks.push_back(static_cast<std::uint32_t>(i));
    }
    blocks.push_back(std::move(block));
  }
}

void LineBreakIndex::assign(std::u16string_view text) {
  blocks_.clear();
  append_text(blocks_, text);
  length_ = text.size();
  breaks_ = 0;
  for (const Block& block : blocks_) breaks_ += block.breaks.size();
}

LineBreakIndex::Place LineBreakIndex::locate(std::size_t position) const {
  Place place;
  while (place.block + 1 < blocks_.size() && position >= place.block_start + blocks_[place.block].length) {
    place.block_start += blocks_[place.block].length;
    place.breaks_before += blocks_[place.block].breaks.size();
    ++place.block;
  }
  return place;
}

bool LineBreakIndex::replace(std::size_t start, std::size_t removed, std::u16string_view inserted) {
  if (start > length_ || removed > length_ - start) return false;
  if (removed == 0 && inserted.empty()) return true;
  if (blocks_.empty()) {
    assign(inserted);
    return true;
  }

  // The blocks from the one holding `start` to the one holding the removed range's end
  // become one: their breaks before and after the range, the inserted text's in between.
  const std::size_t end = start + removed;
  const Place first = locate(start);
  std::size_t last = first.block;
  std::size_t last_start = first.block_start;
  while (last + 1 < blocks_.size() && end > last_start + blocks_[last].length) {
    last_start += blocks_[last].length;
    ++last;
  }
  // Leaving a tiny block behind would let edits fragment the index; take the next one too.
  std::size_t merged_length = last_start + blocks_[last].length - first.block_start - removed + inserted.size();
  while (merged_length < kMinimumBlockUnits && last + 1 < blocks_.size()) {
    last_start += blocks_[last].length;
    ++last;
    merged_length += blocks_[last].length;
  }

  std::vector<std::size_t> merged_breaks;  // offsets from the first block's start
  std::size_t removed_breaks = 0;
  std::size_t offset = first.block_start;
  for (std::size_t index = first.block; index <= last; ++index) {
    for (const std::uint32_t at : blocks_[index].breaks) {
      const std::size_t position = offset + at;
      if (position < start) merged_breaks.push_back(position - first.block_start);
      else if (position >= end) merged_breaks.push_back(position - first.block_start - removed + inserted.size());
      else ++removed_breaks;
    }
    offset += blocks_[index].length;
  }
  std::size_t inserted_breaks = 0;
  {
    std::vector<std::size_t> from_insert;
    for (std::size_t i = 0; i < inserted.size(); ++i) {
      if (inserted[i] == u'\r') from_insert.push_back(start - first.block_start + i);
    }
    inserted_breaks = from_insert.size();
    const auto after = std::lower_bound(merged_breaks.begin(), merged_breaks.end(), start - first.block_start);
    merged_breaks.insert(after, from_insert.begin(), from_insert.end());
  }

  // Cut the merged range into blocks of the usual size.
  std::vector<Block> replacement;
  std::size_t next_break = 0;
  for (std::size_t block_start = 0; block_start < merged_length;) {
    const std::size_t remaining = merged_length - block_start;
    const std::size_t size = remaining <= kMaximumBlockUnits ? remaining : kBlockUnits;
    Block block;
    block.length = size;
    while (next_break < merged_breaks.size() && merged_breaks[next_break] < block_start + size) {
      block.breaks.push_back(static_cast<std::uint32_t>(merged_breaks[next_break] - block_start));
      ++next_break;
    }
    replacement.push_back(std::move(block));
    block_start += size;
  }
  const auto erase_from = blocks_.begin() + static_cast<std::ptrdiff_t>(first.block);
  const auto erase_to = blocks_.begin() + static_cast<std::ptrdiff_t>(last + 1);
  const auto inserted_at = blocks_.erase(erase_from, erase_to);
  blocks_.insert(inserted_at, std::make_move_iterator(replacement.begin()), std::make_move_iterator(replacement.end()));
  length_ = length_ - removed + inserted.size();
  breaks_ = breaks_ - removed_breaks + inserted_breaks;
  return true;
}

std::uint64_t LineBreakIndex::line_of(std::size_t position) const {
  if (blocks_.empty()) return 0;
  position = std::min(position, length_);
  const Place place = locate(position);
  const std::vector<std::uint32_t>& breaks = blocks_[place.block].breaks;
  const auto local = static_cast<std::uint32_t>(position - place.block_start);
  return place.breaks_before + static_cast<std::uint64_t>(std::lower_bound(breaks.begin(), breaks.end(), local) - breaks.begin());
}

std::size_t LineBreakIndex::start_of_line_at(std::size_t position) const {
  if (blocks_.empty()) return 0;
  position = std::min(position, length_);
  Place place = locate(position);
  const std::vector<std::uint32_t>& breaks = blocks_[place.block].breaks;
  const auto local = static_cast<std::uint32_t>(position - place.block_start);
  const auto after = std::lower_bound(breaks.begin(), breaks.end(), local);
  if (after != breaks.begin()) return place.block_start + *(after - 1) + 1;
  // No break before it in its own block: the nearest earlier block that has one.
  std::size_t block_start = place.block_start;
  for (std::size_t index = place.block; index-- > 0;) {
    block_start -= blocks_[index].length;
    if (!blocks_[index].breaks.empty()) return block_start + blocks_[index].breaks.back() + 1;
  }
  return 0;
}

std::optional<std::size_t> LineBreakIndex::start_of_line(std::uint64_t line) const {
  if (line == 0) return 0;
  if (line > breaks_) return std::nullopt;
  // Line n starts right after the n-th CR (counting from 1).
  std::uint64_t before = 0;
  std::size_t block_start = 0;
  for (const Block& block : blocks_) {
    if (line <= before + block.breaks.size()) {
      return block_start + block.breaks[static_cast<std::size_t>(line - before - 1)] + 1;
    }
    before += block.breaks.size();
    block_start += block.length;
  }
  return std::nullopt;
}

bool LineBreakIndex::follows_break(std::size_t position) const {
  if (position == 0) return true;
  if (position > length_) return false;
  return start_of_line_at(position) == position;
}

}  // namespace wrenfold
