#include "boost_format.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "fold_table.h"
#include "letter_case.h"
#include "utf.h"

namespace wrenfold {
namespace {

enum class LetterCase { None, Upper, Lower };

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

int hex_digit_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Decimal digits with an optional leading `+`; nothing else.
std::optional<std::size_t> parse_group_number(std::u16string_view text) {
  if (!text.empty() && text[0] == u'+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::size_t value = 0;
  constexpr std::size_t kBeyondAnyGroup = std::size_t{1} << 40;
  for (char16_t c : text) {
    if (!is_digit(c)) return std::nullopt;
    value = std::min(value * 10 + static_cast<std::size_t>(c - u'0'), kBeyondAnyGroup);
  }
  return value;
}

// Hexadecimal digits with an optional leading `+`, as a Unicode scalar value.
std::optional<char32_t> parse_scalar_value(std::u16string_view text) {
  if (!text.empty() && text[0] == u'+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t c : text) {
    const int digit = hex_digit_value(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
    if (value >= 0x110000) return std::nullopt;
  }
  if (value >= 0xD800 && value <= 0xDFFF) return std::nullopt;
  return static_cast<char32_t>(value);
}

struct PerlVariable {
  std::u16string_view name;
  enum class Text { Match, Prefix, Suffix, LastGroup, LastClosedGroup } text;
};

// Longer names first, so a name is never taken for a shorter one it starts with.
constexpr PerlVariable kBareVariables[] = {
    {u"LAST_SUBMATCH_RESULT", PerlVariable::Text::LastClosedGroup},
    {u"LAST_PAREN_MATCH", PerlVariable::Text::LastGroup},
    {u"POSTMATCH", PerlVariable::Text::Suffix},
    {u"PREMATCH", PerlVariable::Text::Prefix},
    {u"MATCH", PerlVariable::Text::Match},
};

constexpr PerlVariable kBracedVariables[] = {
    {u"^MATCH", PerlVariable::Text::Match},
    {u"^PREMATCH", PerlVariable::Text::Prefix},
    {u"^POSTMATCH", PerlVariable::Text::Suffix},
    {u"^LAST_PAREN_MATCH", PerlVariable::Text::LastGroup},
    {u"^LAST_SUBMATCH_RESULT", PerlVariable::Text::LastClosedGroup},
};

class Expander {
 public:
  Expander(std::u16string_view format, const RegexMatch& match, std::u16string_view subject,
           std::size_t previous_end)
      : format_(format), match_(match), subject_(subject), previous_end_(previous_end) {}

  std::u16string run() {
    run_levels();
    return std::move(out_);
  }

 private:
  // ---- the texts a format can insert

  std::u16string_view group(std::size_t number) const {
    if (number >= match_.groups.size() || !match_.groups[number]) return {};
    const CaptureSpan& span = *match_.groups[number];
    const std::size_t end = std::min(span.end, subject_.size());
    const std::size_t start = std::min(span.start, end);
    return subject_.substr(start, end - start);
  }

  bool took_part(std::size_t number) const {
    return number < match_.groups.size() && match_.groups[number].has_value();
  }

  std::size_t match_start() const {
    return took_part(0) ? std::min(match_.groups[0]->start, subject_.size()) : 0;
  }

  std::size_t match_end() const {
    return took_part(0) ? std::max(match_start(), std::min(match_.groups[0]->end, subject_.size()))
                        : 0;
  }

  std::u16string_view prefix() const {
    const std::size_t start = match_start();
    const std::size_t begin = std::min(previous_end_, start);
    return subject_.substr(begin, start - begin);
  }

  std::u16string_view suffix() const { return subject_.substr(match_end()); }

  std::u16string_view last_group() const {
    return group(match_.groups.empty() ? 0 : match_.groups.size() - 1);
  }

  // The group that took part and ends last; the lowest-numbered among those ending there.
  std::u16string_view last_closed_group() const {
    std::optional<std::size_t> best;
    for (std::size_t n = 1; n < match_.groups.size(); ++n) {
      if (match_.groups[n] && (!best || match_.groups[n]->end > match_.groups[*best]->end)) {
        best = n;
      }
    }
    return best ? group(*best) : std::u16string_view();
  }

  // With duplicate names, the first group of that name that took part, else the first.
  std::optional<std::size_t> named_group(std::u16string_view name) const {
    if (!match_.names) return std::nullopt;
    std::optional<std::size_t> first;
    for (const GroupName& entry : *match_.names) {
      if (entry.name != name) continue;
      if (took_part(entry.number)) return entry.number;
      if (!first) first = entry.number;
    }
    return first;
  }

  std::u16string_view variable_text(PerlVariable::Text text) const {
    switch (text) {
      case PerlVariable::Text::Match: return group(0);
      case PerlVariable::Text::Prefix: return prefix();
      case PerlVariable::Text::Suffix: return suffix();
      case PerlVariable::Text::LastGroup: return last_group();
      case PerlVariable::Text::LastClosedGroup: return last_closed_group();
    }
    return {};
  }

  // ---- output

  void write(char16_t unit) {
    if (skip_depth_ > 0) return;
    const LetterCase applied = next_case_ != LetterCase::None ? next_case_ : case_mode_;
    next_case_ = LetterCase::None;
    if (applied == LetterCase::Upper) {
      unit = fold_table()[unit];
    } else if (applied == LetterCase::Lower && !utf::is_surrogate(unit)) {
      unit = lower_case_unit(unit);
    }
    out_.push_back(unit);
  }

  void write(std::u16string_view text) {
    for (char16_t unit : text) write(unit);
  }

  // Control characters from escapes are not letters and leave a pending \u or \l alone.
  void write_control(char16_t unit) {
    if (skip_depth_ == 0) out_.push_back(unit);
  }

  void set_case_mode(LetterCase mode) {
    if (skip_depth_ == 0) case_mode_ = mode;
  }

  void set_next_case(LetterCase mode) {
    if (skip_depth_ == 0) next_case_ = mode;
  }

  // ---- reading

  bool at_end() const { return pos_ >= format_.size(); }
  char16_t peek(std::size_t ahead = 0) const {
    return pos_ + ahead < format_.size() ? format_[pos_ + ahead] : u'\0';
  }

  std::size_t find(char16_t c, std::size_t from) const { return format_.find(c, from); }

  // Groups and conditional branches nest as deeply as the format says, so they are kept on
  // a heap stack rather than the call stack.
  struct Level {
    enum class Kind { Top, Group, TrueBranch, FalseBranch } kind;
    bool in_group;       // a `)` ends this level
    bool stop_at_colon;  // a `:` ends this level
    bool skipped;        // nothing read at this level is written
    bool condition_holds;
  };

  void run_levels() {
    std::vector<Level> levels{{Level::Kind::Top, false, false, false, false}};
    while (!levels.empty()) {
      const Level level = levels.back();
      const char16_t c = peek();
      if (at_end() || (c == u')' && level.in_group) || (c == u':' && level.stop_at_colon)) {
        levels.pop_back();
        if (level.skipped) --skip_depth_;
        if (level.kind == Level::Kind::Group && !at_end()) ++pos_;
        if (level.kind == Level::Kind::TrueBranch && c == u':') {
          ++pos_;
          enter(levels, {Level::Kind::FalseBranch, level.in_group, false, level.condition_holds,
                         false});
        }
        continue;
      }
      switch (c) {
        case u'$': dollar(); break;
        case u'\\': escape(); break;
        case u'(':
          ++pos_;
          enter(levels, {Level::Kind::Group, true, false, false, false});
          break;
        case u'?':
          if (const std::optional<bool> holds = conditional_head()) {
            enter(levels, {Level::Kind::TrueBranch, level.in_group, true, !*holds, *holds});
          }
          break;
        default:
          write(c);
          ++pos_;
      }
    }
  }

  void enter(std::vector<Level>& levels, const Level& level) {
    if (level.skipped) ++skip_depth_;
    levels.push_back(level);
  }

  // At a `?`: reads the condition of `?N` or `?{NAME}` and answers whether it holds, or
  // writes the `?` itself when no condition follows.
  std::optional<bool> conditional_head() {
    ++pos_;
    std::optional<std::size_t> number;
    if (is_digit(peek())) {
      number = static_cast<std::size_t>(format_[pos_++] - u'0');
    } else if (peek() == u'{') {
      const std::size_t close = find(u'}', pos_ + 1);
      if (close == std::u16string_view::npos) {
        write(u'?');
        return std::nullopt;
      }
      const std::u16string_view inside = format_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      number = parse_group_number(inside);
      if (!number) number = named_group(inside);
    } else {
      write(u'?');
      return std::nullopt;
    }
    return number && took_part(*number);
  }

  bool starts_with_at(std::size_t index, std::u16string_view text) const {
    return format_.substr(std::min(index, format_.size())).starts_with(text);
  }

  void dollar() {
    ++pos_;
    if (at_end()) {
      write(u'$');
      return;
    }
    const char16_t c = format_[pos_];
    switch (c) {
      case u'$': write(u'$'); ++pos_; return;
      case u'&': write(group(0)); ++pos_; return;
      case u'`': write(prefix()); ++pos_; return;
      case u'\'': write(suffix()); ++pos_; return;
      case u'+': {
        ++pos_;
        if (peek() == u'{') {
          const std::size_t close = find(u'}', pos_ + 1);
          if (close != std::u16string_view::npos) {
            const std::optional<std::size_t> number =
                named_group(format_.substr(pos_ + 1, close - pos_ - 1));
            if (number) write(group(*number));
            pos_ = close + 1;
            return;
          }
        }
        write(last_group());
        return;
      }
      case u'^':
        if (peek(1) == u'N') {
          write(last_closed_group());
          pos_ += 2;
          return;
        }
        break;
      case u'{': {
        const std::size_t close = find(u'}', pos_ + 1);
        if (close == std::u16string_view::npos) break;
        const std::u16string_view inside = format_.substr(pos_ + 1, close - pos_ - 1);
        if (const std::optional<std::size_t> number = parse_group_number(inside)) {
          write(group(*number));
          pos_ = close + 1;
          return;
        }
        for (const PerlVariable& variable : kBracedVariables) {
          if (inside == variable.name) {
            write(variable_text(variable.text));
            pos_ = close + 1;
            return;
          }
        }
        break;
      }
      default:
        if (is_digit(c)) {
          write(group(static_cast<std::size_t>(c - u'0')));
          ++pos_;
          return;
        }
        for (const PerlVariable& variable : kBareVariables) {
          if (starts_with_at(pos_, variable.name)) {
            write(variable_text(variable.text));
            pos_ += variable.name.size();
            return;
          }
        }
    }
    // Not a variable: the dollar sign stands for itself and reading goes on after it.
    write(u'$');
  }

  void escape() {
    ++pos_;
    if (at_end()) {
      write(u'\\');
      return;
    }
    const char16_t c = format_[pos_++];
    switch (c) {
      case u'a': write_control(0x07); return;
      case u'e': write_control(0x1B); return;
      case u'f': write_control(0x0C); return;
      case u'n': write_control(0x0A); return;
      case u'r': write_control(0x0D); return;
      case u't': write_control(0x09); return;
      case u'v': write_control(0x0B); return;
      case u'c':
        if (at_end()) {
          write(u'c');
        } else {
          write(static_cast<char16_t>(format_[pos_++] & 0x1F));
        }
        return;
      case u'x': hex_escape(); return;
      case u'U': set_case_mode(LetterCase::Upper); return;
      case u'L': set_case_mode(LetterCase::Lower); return;
      case u'E': set_case_mode(LetterCase::None); return;
      case u'u': set_next_case(LetterCase::Upper); return;
      case u'l': set_next_case(LetterCase::Lower); return;
      default:
        if (c >= u'1' && c <= u'9') {
          write(group(static_cast<std::size_t>(c - u'0')));
        } else {
          write(c);
        }
    }
  }

  void hex_escape() {
    if (peek() == u'{') {
      const std::size_t close = find(u'}', pos_ + 1);
      if (close != std::u16string_view::npos) {
        const std::optional<char32_t> value =
            parse_scalar_value(format_.substr(pos_ + 1, close - pos_ - 1));
        pos_ = close + 1;
        if (value) {
          char16_t units[2];
          write(std::u16string_view(units, utf::put_utf16(*value, units)));
        } else {
          write(u'x');
        }
        return;
      }
    }
    int value = -1;
    for (int digits = 0; digits < 2 && !at_end() && hex_digit_value(format_[pos_]) >= 0; ++digits) {
      value = std::max(value, 0) * 16 + hex_digit_value(format_[pos_++]);
    }
    write(value >= 0 ? static_cast<char16_t>(value) : u'x');
  }

  std::u16string_view format_;
  const RegexMatch& match_;
  std::u16string_view subject_;
  std::size_t previous_end_;
  std::size_t pos_ = 0;
  int skip_depth_ = 0;
  LetterCase case_mode_ = LetterCase::None;
  LetterCase next_case_ = LetterCase::None;
  std::u16string out_;
};

}  // namespace

std::u16string expand_format(std::u16string_view format, const RegexMatch& match,
                             std::u16string_view subject, std::size_t previous_end) {
  return Expander(format, match, subject, previous_end).run();
}

}  // namespace wrenfold
