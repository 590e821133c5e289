#include "boost_pattern.h"

#include <array>
#include <optional>

#include "letter_case.h"
#include "platform.h"
#include "utf.h"

namespace wrenfold {
namespace {

// ---- characters and how they are written

std::u32string to_code_points(std::u16string_view text) {
  std::u32string code_points;
  code_points.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (utf::is_high_surrogate(unit) && i + 1 < text.size() && utf::is_low_surrogate(text[i + 1])) {
      code_points.push_back(utf::combine_surrogates(unit, text[i + 1]));
      ++i;
    } else {
      code_points.push_back(utf::is_surrogate(unit) ? utf::kReplacementCharacter : unit);
    }
  }
  return code_points;
}

void append_code_point(std::u16string& out, char32_t code_point) {
  char16_t units[2];
  out.append(units, utf::put_utf16(code_point, units));
}

void append_ascii(std::u16string& out, std::string_view ascii) {
  for (char c : ascii) out.push_back(static_cast<char16_t>(c));
}

std::u16string to_utf16(std::u32string_view code_points) {
  std::u16string text;
  for (char32_t c : code_points) append_code_point(text, c);
  return text;
}

void append_hex_escape(std::u16string& out, char32_t code_point) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kDigits[code_point & 0xF];
    code_point >>= 4;
  } while (code_point != 0);
  append_ascii(out, "\\x{");
  while (count > 0) out.push_back(static_cast<char16_t>(digits[--count]));
  out.push_back(u'}');
}

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool is_octal_digit(char32_t c) { return c >= U'0' && c <= U'7'; }

int hex_digit_value(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
  return -1;
}

// Characters that would vanish under PCRE2's extended mode, or that nobody can see, are
// written as codes so the pattern means the same whatever options it is compiled with.
bool is_written_as_code(char32_t c) {
  if (c <= 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

void append_class_literal(std::u16string& out, char32_t c) {
  if (c == U'[' || c == U'\\' || c == U']' || c == U'^' || c == U'-') {
    out.push_back(u'\\');
    out.push_back(static_cast<char16_t>(c));
  } else if (is_written_as_code(c)) {
    append_hex_escape(out, c);
  } else {
    append_code_point(out, c);
  }
}

bool is_ascii_punctuation(char32_t c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

void append_plain_literal(std::u16string& out, char32_t c) {
  if (is_ascii_punctuation(c)) {
    out.push_back(u'\\');
    out.push_back(static_cast<char16_t>(c));
  } else if (is_written_as_code(c)) {
    append_hex_escape(out, c);
  } else {
    append_code_point(out, c);
  }
}

// ---- named classes and collating elements

struct ClassName {
  std::u32string_view name;
  std::string_view content;
};

constexpr std::array<ClassName, 20> kClassNames = {{
    {U"alnum", "\\p{L}\\p{Nd}"},
    {U"alpha", "\\p{L}"},
    {U"blank", "\\t\\p{Zs}"},
    {U"cntrl", "\\p{Cc}"},
    {U"digit", "\\p{Nd}"},
    {U"graph", "\\p{L}\\p{M}\\p{N}\\p{P}\\p{S}"},
    {U"lower", "\\p{Ll}"},
    {U"print", "\\p{L}\\p{M}\\p{N}\\p{P}\\p{S}\\p{Zs}"},
    {U"punct", "\\p{P}\\p{S}"},
    {U"space", "\\s"},
    {U"upper", "\\p{Lu}"},
    {U"xdigit", "0-9A-Fa-f"},
    {U"unicode", "\\x{100}-\\x{10FFFF}"},
    {U"word", "\\w"},
    {U"d", "\\p{Nd}"},
    {U"h", "\\t\\p{Zs}"},
    {U"l", "\\p{Ll}"},
    {U"s", "\\s"},
    {U"u", "\\p{Lu}"},
    {U"w", "\\w"},
}};

std::optional<std::string_view> class_content(std::u32string_view name) {
  std::u32string lowered(name);
  for (char32_t& c : lowered) {
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
  }
  for (const ClassName& entry : kClassNames) {
    if (entry.name == lowered) return entry.content;
  }
  return std::nullopt;
}

struct CollatingElement {
  std::u32string_view name;
  char32_t code;
};

constexpr std::array<CollatingElement, 95> kCollatingElements = {{
    {U"NUL", 0},
    {U"SOH", 1},
    {U"STX", 2},
    {U"ETX", 3},
    {U"EOT", 4},
    {U"ENQ", 5},
    {U"ACK", 6},
    {U"alert", 7},
    {U"BEL", 7},
    {U"backspace", 8},
    {U"BS", 8},
    {U"tab", 9},
    {U"HT", 9},
    {U"newline", 10},
    {U"LF", 10},
    {U"vertical-tab", 11},
    {U"VT", 11},
    {U"form-feed", 12},
    {U"FF", 12},
    {U"carriage-return", 13},
    {U"CR", 13},
    {U"SO", 14},
    {U"SI", 15},
    {U"DLE", 16},
    {U"DC1", 17},
    {U"DC2", 18},
    {U"DC3", 19},
    {U"DC4", 20},
    {U"NAK", 21},
    {U"SYN", 22},
    {U"ETB", 23},
    {U"CAN", 24},
    {U"EM", 25},
    {U"SUB", 26},
    {U"ESC", 27},
    {U"IS4", 28},
    {U"FS", 28},
    {U"IS3", 29},
    {U"GS", 29},
    {U"IS2", 30},
    {U"RS", 30},
    {U"IS1", 31},
    {U"US", 31},
    {U"space", 32},
    {U"exclamation-mark", 33},
    {U"quotation-mark", 34},
    {U"number-sign", 35},
    {U"dollar-sign", 36},
    {U"percent-sign", 37},
    {U"ampersand", 38},
    {U"apostrophe", 39},
    {U"left-parenthesis", 40},
    {U"right-parenthesis", 41},
    {U"asterisk", 42},
    {U"plus-sign", 43},
    {U"comma", 44},
    {U"hyphen", 45},
    {U"hyphen-minus", 45},
    {U"period", 46},
    {U"full-stop", 46},
    {U"slash", 47},
    {U"solidus", 47},
    {U"zero", 48},
    {U"one", 49},
    {U"two", 50},
    {U"three", 51},
    {U"four", 52},
    {U"five", 53},
    {U"six", 54},
    {U"seven", 55},
    {U"eight", 56},
    {U"nine", 57},
    {U"colon", 58},
    {U"semicolon", 59},
    {U"less-than-sign", 60},
    {U"equals-sign", 61},
    {U"greater-than-sign", 62},
    {U"question-mark", 63},
    {U"commercial-at", 64},
    {U"left-square-bracket", 91},
    {U"backslash", 92},
    {U"reverse-solidus", 92},
    {U"right-square-bracket", 93},
    {U"circumflex", 94},
    {U"circumflex-accent", 94},
    {U"underscore", 95},
    {U"low-line", 95},
    {U"grave-accent", 96},
    {U"left-brace", 123},
    {U"left-curly-bracket", 123},
    {U"vertical-line", 124},
    {U"right-brace", 125},
    {U"right-curly-bracket", 125},
    {U"tilde", 126},
    {U"DEL", 127},
}};

std::optional<char32_t> collating_character(std::u32string_view name) {
  if (name.size() == 1) return name[0];
  for (const CollatingElement& entry : kCollatingElements) {
    if (entry.name == name) return entry.code;
  }
  return std::nullopt;
}

// Characters are equivalent when their base letters are: the first unit of the canonical
// decomposition, lower-cased.
char16_t equivalence_key(char32_t c) { return lower_case_unit(platform::nfd_first_unit(c)); }

// The equivalence classes cover the Latin blocks, where the accented letters live.
constexpr char32_t kEquivalenceFirst = 0x20;
constexpr char32_t kEquivalenceLast = 0x24F;

// ---- the translation

class Translator {
 public:
  explicit Translator(std::u16string_view pattern) : in_(to_code_points(pattern)) {}

  Result<std::u16string> run() {
    out_.reserve(in_.size() * 2);
    while (pos_ < in_.size() && !error_) {
      const char32_t c = in_[pos_];
      if (c == U'(' && at(pos_ + 1) == U'?' && at(pos_ + 2) == U'#') {
        skip_comment();
      } else if (c == U'[') {
        ++pos_;
        bracket_expression();
      } else if (c == U'\\' && pos_ + 1 < in_.size()) {
        ++pos_;
        escape_outside_brackets();
      } else {
        append_code_point(out_, c);
        ++pos_;
      }
    }
    if (error_) return Error{*error_};
    return std::move(out_);
  }

 private:
  char32_t at(std::size_t index) const { return index < in_.size() ? in_[index] : 0; }

  std::size_t find(char32_t c, std::size_t from) const {
    for (std::size_t i = from; i < in_.size(); ++i) {
      if (in_[i] == c) return i;
    }
    return std::u32string::npos;
  }

  std::u32string_view slice(std::size_t begin, std::size_t end) const {
    return std::u32string_view(in_).substr(begin, end - begin);
  }

  void fail(std::u16string message) { error_ = std::move(message); }

  void skip_comment() {
    const std::size_t close = find(U')', pos_ + 3);
    pos_ = close == std::u32string::npos ? in_.size() : close + 1;
  }

  void escape_outside_brackets() {
    const char32_t e = in_[pos_++];
    switch (e) {
      case U'<': append_ascii(out_, "\\b(?=\\w)"); break;
      case U'>': append_ascii(out_, "\\b(?<=\\w)"); break;
      case U'`': append_ascii(out_, "\\A"); break;
      case U'\'': append_ascii(out_, "\\z"); break;
      case U'Z': append_ascii(out_, "(?=[\\n\\x0B\\f\\r\\x85\\x{2028}\\x{2029}]*\\z)"); break;
      case U'C': out_.push_back(u'.'); break;
      case U'E': break;
      case U'Q': quote(append_plain_literal); break;
      case U'1': case U'2': case U'3': case U'4': case U'5': case U'6': case U'7': case U'8':
      case U'9':
        append_ascii(out_, "\\g{");
        out_.push_back(static_cast<char16_t>(e));
        out_.push_back(u'}');
        break;
      case U'g': case U'k': backreference(); break;
      default:
        if (!shared_escape(e, /*in_brackets=*/false)) {
          out_.push_back(u'\\');
          append_code_point(out_, e);
        }
    }
  }

  void escape_inside_brackets() {
    const char32_t e = in_[pos_++];
    switch (e) {
      case U'E': break;
      case U'Q': quote(append_class_literal); break;
      default:
        if (!shared_escape(e, /*in_brackets=*/true)) {
          out_.push_back(u'\\');
          append_code_point(out_, e);
        }
    }
  }

  // The escapes that mean the same inside and outside brackets. False when `e` is none.
  bool shared_escape(char32_t e, bool in_brackets) {
    switch (e) {
      case U'l': append_ascii(out_, "\\p{Ll}"); return true;
      case U'u': append_ascii(out_, "\\p{Lu}"); return true;
      case U'L': append_ascii(out_, "\\P{Ll}"); return true;
      case U'U': append_ascii(out_, "\\P{Lu}"); return true;
      case U'r':
        // The searched text has LF line breaks, so a CR in a pattern means a line break.
        if (at(pos_) == U'\\' && at(pos_ + 1) == U'n') pos_ += 2;
        append_ascii(out_, "\\n");
        return true;
      case U'0': octal(); return true;
      case U'x': hex_escape(); return true;
      case U'p': property(/*negated=*/false, in_brackets); return true;
      case U'P': property(/*negated=*/true, in_brackets); return true;
      default: return false;
    }
  }

  void quote(void (*append_literal)(std::u16string&, char32_t)) {
    while (pos_ < in_.size()) {
      if (in_[pos_] == U'\\' && at(pos_ + 1) == U'E') {
        pos_ += 2;
        return;
      }
      append_literal(out_, in_[pos_++]);
    }
  }

  void octal() {
    char32_t value = 0;
    for (int digits = 0; digits < 3 && pos_ < in_.size() && is_octal_digit(in_[pos_]); ++digits) {
      value = value * 8 + (in_[pos_++] - U'0');
    }
    append_hex_escape(out_, value);
  }

  void backreference() {
    std::u32string_view name;
    const char32_t open = at(pos_);
    if (pos_ < in_.size() && (open == U'{' || open == U'<' || open == U'\'')) {
      const char32_t closer = open == U'{' ? U'}' : open == U'<' ? U'>' : U'\'';
      const std::size_t close = find(closer, pos_ + 1);
      if (close == std::u32string::npos) {
        fail(u"Missing " + std::u16string(1, static_cast<char16_t>(closer)) +
             u" in a backreference.");
        return;
      }
      name = slice(pos_ + 1, close);
      pos_ = close + 1;
    } else {
      const std::size_t begin = pos_;
      if (at(pos_) == U'-') ++pos_;
      while (pos_ < in_.size() && is_ascii_digit(in_[pos_])) ++pos_;
      name = slice(begin, pos_);
    }
    if (name.empty()) {
      fail(u"Empty backreference.");
      return;
    }
    const std::u32string_view digits = name[0] == U'-' ? name.substr(1) : name;
    bool numeric = !digits.empty();
    for (char32_t c : digits) numeric = numeric && is_ascii_digit(c);
    append_ascii(out_, numeric ? "\\g{" : "\\k{");
    out_ += to_utf16(name);
    out_.push_back(u'}');
  }

  // The text between the "{" at pos_ and its "}", with pos_ moved past both; nothing, after
  // failing with `missing`, when the brace is never closed.
  std::optional<std::u32string_view> braced_text(const char16_t* missing) {
    const std::size_t close = find(U'}', pos_ + 1);
    if (close == std::u32string::npos) {
      fail(missing);
      return std::nullopt;
    }
    const std::u32string_view text = slice(pos_ + 1, close);
    pos_ = close + 1;
    return text;
  }

  void hex_escape() {
    std::u32string_view text;
    if (at(pos_) == U'{') {
      const std::optional<std::u32string_view> braced = braced_text(u"Missing } after \\x{.");
      if (!braced) return;
      text = *braced;
    } else {
      const std::size_t begin = pos_;
      while (pos_ < in_.size() && pos_ - begin < 2 && hex_digit_value(in_[pos_]) >= 0) ++pos_;
      text = slice(begin, pos_);
    }
    const std::optional<char32_t> code = parse_character_code(text);
    if (!code) {
      fail(u"\\x{" + to_utf16(text) + u"} isn't a valid character code.");
      return;
    }
    append_hex_escape(out_, *code);
  }

  static std::optional<char32_t> parse_character_code(std::u32string_view text) {
    if (!text.empty() && text[0] == U'+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char32_t c : text) {
      const int digit = hex_digit_value(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
      if (value >= 0x110000) return std::nullopt;
    }
    return static_cast<char32_t>(value);
  }

  void property(bool negated, bool in_brackets) {
    const char16_t letter = negated ? u'P' : u'p';
    if (pos_ >= in_.size()) {
      // Nothing to name: PCRE2 explains what is missing.
      out_.push_back(u'\\');
      out_.push_back(letter);
      return;
    }
    std::u32string_view name;
    if (in_[pos_] == U'{') {
      const std::optional<std::u32string_view> braced = braced_text(u"Missing } after \\p{.");
      if (!braced) return;
      name = *braced;
    } else {
      name = slice(pos_, pos_ + 1);
      ++pos_;
    }
    const std::optional<std::string_view> content = class_content(name);
    if (!content) {
      out_.push_back(u'\\');
      out_.push_back(letter);
      out_.push_back(u'{');
      out_ += to_utf16(name);
      out_.push_back(u'}');
    } else if (!in_brackets) {
      append_ascii(out_, negated ? "[^" : "[");
      append_ascii(out_, *content);
      out_.push_back(u']');
    } else if (!negated) {
      append_ascii(out_, *content);
    } else {
      fail(u"\\P{" + to_utf16(name) + u"} can't be used inside [...]; use [^...] instead.");
    }
  }

  void bracket_expression() {
    out_.push_back(u'[');
    if (at(pos_) == U'^') {
      out_.push_back(u'^');
      ++pos_;
    }
    if (at(pos_) == U']') {
      append_ascii(out_, "\\]");
      ++pos_;
    }
    while (pos_ < in_.size() && !error_) {
      const char32_t c = in_[pos_];
      if (c == U']') {
        ++pos_;
        out_.push_back(u']');
        return;
      }
      if (c == U'[') {
        bracket_member();
      } else if (c == U'\\') {
        ++pos_;
        if (pos_ < in_.size()) {
          escape_inside_brackets();
        } else {
          append_ascii(out_, "\\\\");
        }
      } else {
        append_code_point(out_, c);
        ++pos_;
      }
    }
    // A pattern that ends inside brackets still gets its closing bracket.
    out_.push_back(u']');
  }

  // At a `[` inside brackets: a named class, a collating element, an equivalence class, or
  // a literal `[`.
  void bracket_member() {
    const char32_t kind = at(pos_ + 1);
    std::size_t close = std::u32string::npos;
    if (pos_ + 1 < in_.size() && (kind == U':' || kind == U'=' || kind == U'.')) {
      for (std::size_t i = pos_ + 2; i + 1 < in_.size(); ++i) {
        if (in_[i] == kind && in_[i + 1] == U']') {
          close = i;
          break;
        }
      }
    }
    if (close == std::u32string::npos) {
      append_ascii(out_, "\\[");
      ++pos_;
      return;
    }
    const std::u32string_view name = slice(pos_ + 2, close);
    pos_ = close + 2;
    if (kind == U':') {
      const std::optional<std::string_view> content = class_content(name);
      if (!content) {
        fail(u"Unknown character class [:" + to_utf16(name) + u":].");
        return;
      }
      append_ascii(out_, *content);
      return;
    }
    const std::optional<char32_t> character = collating_character(name);
    if (!character) {
      fail(u"The collating element [." + to_utf16(name) + u".] isn't supported.");
      return;
    }
    if (kind == U'.') {
      append_class_literal(out_, *character);
    } else {
      equivalence_class(*character);
    }
  }

  void equivalence_class(char32_t character) {
    const char16_t key = equivalence_key(character);
    bool any = false;
    for (char32_t c = kEquivalenceFirst; c <= kEquivalenceLast; ++c) {
      if (equivalence_key(c) == key) {
        append_class_literal(out_, c);
        any = true;
      }
    }
    if (!any) append_class_literal(out_, character);
  }

  std::u32string in_;
  std::size_t pos_ = 0;
  std::u16string out_;
  std::optional<std::u16string> error_;
};

}  // namespace

Result<std::u16string> translate_pattern(std::u16string_view pattern) {
  return Translator(pattern).run();
}

}  // namespace wrenfold
