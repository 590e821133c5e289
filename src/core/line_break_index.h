#pragma once
// Where the CR line breaks of a long text are, kept without the text itself: the text is cut
// into blocks of some ten thousand units, each holding its length and the offsets of its CRs.
// An edit replaces only the blocks it touches, so the line of a position, a line's start and
// the line count cost a walk over the blocks, never over the text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace wrenfold {

class LineBreakIndex {
 public:
  // Forgets what was held and indexes `text`.
  void assign(std::u16string_view text);

  // Units [start, start + removed) were replaced by `inserted`. False, with the index left as
  // it was, when that range is not inside the indexed text.
  bool replace(std::size_t start, std::size_t removed, std::u16string_view inserted);

  std::size_t length() const { return length_; }
  std::uint64_t line_count() const { return breaks_ + 1; }

  // 0-based line holding `position` (clamped to the text): the CRs before it.
  std::uint64_t line_of(std::size_t position) const;

  // Where the line holding `position` (clamped to the text) starts.
  std::size_t start_of_line_at(std::size_t position) const;

  // Where 0-based line `line` starts; nothing beyond the last line.
  std::optional<std::size_t> start_of_line(std::uint64_t line) const;

  // Whether `position` starts a line: the text's start, or right after a CR.
  bool follows_break(std::size_t position) const;

 private:
  struct Block {
    std::size_t length = 0;
    std::vector<std::uint32_t> breaks;  // offsets of the CRs within the block, ascending
  };

  struct Place {
    std::size_t block = 0;
    std::size_t block_start = 0;       // text offset of the block's first unit
    std::uint64_t breaks_before = 0;   // CRs in the blocks before it
  };

  // The block holding `position`; the end of the text belongs to the last block.
  Place locate(std::size_t position) const;
  void append_text(std::vector<Block>& blocks, std::u16string_view text) const;

  std::vector<Block> blocks_;
  std::size_t length_ = 0;
  std::uint64_t breaks_ = 0;
};

}  // namespace wrenfold
