#include "recovery_file.h"

#include <array>
#include <charconv>
#include <string>

#include "timestamp.h"

namespace wrenfold {
namespace {

constexpr std::string_view kMagic = "Wrenfold recovery file 1";
// A header line longer than this is not ours; it also bounds the work on a damaged file.
constexpr std::size_t kLongestHeaderLine = 128;

constexpr std::array<std::string_view, 5> kEncodingNames = {"utf-8", "utf-8-bom", "utf-16le", "utf-16be", "ansi"};
constexpr std::array<std::string_view, 3> kLineEndingNames = {"crlf", "lf", "cr"};

Error not_a_recovery_file() { return Error{u"This isn't a recovery file, or its header is damaged."}; }

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes, std::uint64_t hash = 0xcbf29ce484222325ULL) {
  for (const std::uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// The same as fnv1a over the units' UTF-16 LE bytes.
std::uint64_t fnv1a_units(std::u16string_view units, std::uint64_t hash) {
  for (const char16_t unit : units) {
    hash ^= static_cast<std::uint8_t>(unit & 0xFF);
    hash *= 0x100000001b3ULL;
    hash ^= static_cast<std::uint8_t>(unit >> 8);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

void append_line(std::vector<std::uint8_t>& out, std::string_view key, std::string_view value) {
  out.insert(out.end(), key.begin(), key.end());
  out.push_back(':');
  out.push_back(' ');
  out.insert(out.end(), value.begin(), value.end());
  out.push_back('\n');
}

std::string decimal(std::uint64_t value) { return std::to_string(value); }

std::string hex16(std::uint64_t value) {
  std::string digits(16, '0');
  for (int index = 15; index >= 0; --index, value >>= 4) digits[index] = "0123456789abcdef"[value & 15];
  return digits;
}

// Reads the header one line at a time.
class HeaderReader {
 public:
  explicit HeaderReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<std::string_view> line() {
    const std::size_t limit = std::min(bytes_.size(), position_ + kLongestHeaderLine + 1);
    for (std::size_t end = position_; end < limit; ++end) {
      if (bytes_[end] != '\n') continue;
      const std::string_view found(reinterpret_cast<const char*>(bytes_.data()) + position_, end - position_);
      position_ = end + 1;
      return found;
    }
    return std::nullopt;
  }

  // The value of a line "key: value" with exactly this key.
  std::optional<std::string_view> field(std::string_view key) {
    const std::optional<std::string_view> text = line();
    if (!text || text->size() < key.size() + 2 || text->substr(0, key.size()) != key ||
        text->substr(key.size(), 2) != ": ") {
      return std::nullopt;
    }
    return text->substr(key.size() + 2);
  }

  std::size_t position() const { return position_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// Plain decimal digits that fit, nothing else.
template <typename Number>
std::optional<Number> parse_number(std::string_view text, int base = 10) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  for (const char digit : text) {
    const bool ok = base == 16 ? ((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f'))
                               : (digit >= '0' && digit <= '9');
    if (!ok) return std::nullopt;
  }
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

template <std::size_t N>
std::optional<std::size_t> parse_name(std::string_view text, const std::array<std::string_view, N>& names) {
  for (std::size_t index = 0; index < N; ++index) {
    if (names[index] == text) return index;
  }
  return std::nullopt;
}

std::u16string read_units(std::span<const std::uint8_t> bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t index = 0; index < units.size(); ++index) {
    units[index] = static_cast<char16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
  }
  return units;
}

}  // namespace

RecoveryFileSource::RecoveryFileSource(const RecoveryHeader& header, std::u16string_view text)
    : path_(header.path ? std::u16string_view(*header.path) : std::u16string_view()), text_(text) {
  std::vector<std::uint8_t>& out = head_;
  out.assign(kMagic.begin(), kMagic.end());
  out.push_back('\n');
  append_line(out, "path", header.path ? decimal(header.path->size()) : "none");
  append_line(out, "encoding", kEncodingNames[static_cast<std::size_t>(header.encoding)]);
  append_line(out, "line-ending", kLineEndingNames[static_cast<std::size_t>(header.line_ending)]);
  append_line(out, "disk-stamp",
              header.disk_stamp ? decimal(header.disk_stamp->first) + " " + decimal(header.disk_stamp->second)
                                : "none");
  const std::u16string saved = format_utc_timestamp(header.saved_at);
  append_line(out, "saved", std::string(saved.begin(), saved.end()));
  append_line(out, "owner", decimal(header.owner_process));
  append_line(out, "text", decimal(text.size()));
  // The header's fields count as much as the text: a damaged path length or encoding must
  // be caught as surely as a damaged letter.
  const std::uint64_t checksum = fnv1a_units(text, fnv1a_units(path_, fnv1a(out)));
  append_line(out, "checksum", hex16(checksum));
  out.push_back('\n');
}

Result<std::size_t> RecoveryFileSource::read(std::span<std::uint8_t> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    if (position_ < head_.size()) {
      const std::size_t count = std::min<std::uint64_t>(buffer.size() - filled, head_.size() - position_);
      std::copy_n(head_.begin() + static_cast<std::ptrdiff_t>(position_), count, buffer.begin() + filled);
      filled += count;
      position_ += count;
      continue;
    }
    const std::uint64_t unit_byte = position_ - head_.size();
    std::uint64_t unit_index = unit_byte / 2;
    if (unit_index >= path_.size() + text_.size()) break;
    const auto unit_at = [&](std::uint64_t index) {
      return index < path_.size() ? path_[index] : text_[index - path_.size()];
    };
    if (unit_byte % 2 == 1) {  // the second half of a unit cut by the previous buffer
      buffer[filled++] = static_cast<std::uint8_t>(unit_at(unit_index) >> 8);
      ++position_;
      continue;
    }
    const std::uint64_t end = path_.size() + text_.size();
    while (unit_index < end && filled + 2 <= buffer.size()) {
      const char16_t unit = unit_at(unit_index++);
      buffer[filled++] = static_cast<std::uint8_t>(unit & 0xFF);
      buffer[filled++] = static_cast<std::uint8_t>(unit >> 8);
      position_ += 2;
    }
    if (unit_index < end && filled < buffer.size()) {
      buffer[filled++] = static_cast<std::uint8_t>(unit_at(unit_index) & 0xFF);
      ++position_;
    }
  }
  return filled;
}

Result<void> RecoveryFileSource::rewind() {
  position_ = 0;
  return {};
}

std::vector<std::uint8_t> format_recovery_file(const RecoveryHeader& header, std::u16string_view text) {
  RecoveryFileSource source(header, text);
  std::vector<std::uint8_t> out(1 << 12);
  std::size_t size = 0;
  while (true) {
    if (out.size() - size < 4) out.resize(out.size() * 2);
    const std::size_t got = *source.read(std::span(out).subspan(size));
    if (got == 0) break;
    size += got;
  }
  out.resize(size);
  return out;
}

Result<RecoveryContent> parse_recovery_file(std::span<const std::uint8_t> bytes) {
  HeaderReader reader(bytes);
  RecoveryContent content;
  RecoveryHeader& header = content.header;

  if (reader.line() != kMagic) return not_a_recovery_file();

  const std::optional<std::string_view> path = reader.field("path");
  std::optional<std::uint64_t> path_units;
  if (!path) return not_a_recovery_file();
  if (*path != "none") {
    path_units = parse_number<std::uint64_t>(*path);
    if (!path_units) return not_a_recovery_file();
  }

  const std::optional<std::string_view> encoding_name = reader.field("encoding");
  const std::optional<std::size_t> encoding = encoding_name ? parse_name(*encoding_name, kEncodingNames) : std::nullopt;
  if (!encoding) return not_a_recovery_file();
  header.encoding = static_cast<Encoding>(*encoding);

  const std::optional<std::string_view> line_ending_name = reader.field("line-ending");
  const std::optional<std::size_t> line_ending =
      line_ending_name ? parse_name(*line_ending_name, kLineEndingNames) : std::nullopt;
  if (!line_ending) return not_a_recovery_file();
  header.line_ending = static_cast<LineEnding>(*line_ending);

  const std::optional<std::string_view> stamp = reader.field("disk-stamp");
  if (!stamp) return not_a_recovery_file();
  if (*stamp != "none") {
    const std::size_t blank = stamp->find(' ');
    if (blank == std::string_view::npos) return not_a_recovery_file();
    const auto time = parse_number<std::uint64_t>(stamp->substr(0, blank));
    const auto size = parse_number<std::uint64_t>(stamp->substr(blank + 1));
    if (!time || !size) return not_a_recovery_file();
    header.disk_stamp = std::pair{*time, *size};
  }

  const std::optional<std::string_view> saved = reader.field("saved");
  const std::optional<std::int64_t> saved_at =
      saved ? parse_rfc3339(std::u16string(saved->begin(), saved->end())) : std::nullopt;
  if (!saved_at) return not_a_recovery_file();
  header.saved_at = *saved_at;

  const std::optional<std::string_view> owner = reader.field("owner");
  const std::optional<std::uint32_t> owner_process = owner ? parse_number<std::uint32_t>(*owner) : std::nullopt;
  if (!owner_process) return not_a_recovery_file();
  header.owner_process = *owner_process;

  const std::optional<std::string_view> text = reader.field("text");
  const std::optional<std::uint64_t> text_units = text ? parse_number<std::uint64_t>(*text) : std::nullopt;
  const std::optional<std::string_view> checksum = reader.field("checksum");
  const std::optional<std::uint64_t> expected = checksum && checksum->size() == 16
                                                    ? parse_number<std::uint64_t>(*checksum, 16)
                                                    : std::nullopt;
  if (!text_units || !expected) return not_a_recovery_file();
  const std::span<const std::uint8_t> checked_header = bytes.first(reader.position());
  if (reader.line() != "") return not_a_recovery_file();

  // Sizes are checked before anything is multiplied, so a huge count can't wrap around.
  const std::uint64_t payload_size = bytes.size() - reader.position();
  const std::uint64_t units = path_units.value_or(0);
  if (units > payload_size / 2 || *text_units > payload_size / 2 || 2 * (units + *text_units) > payload_size) {
    return Error{u"The recovery file is cut short."};
  }
  if (2 * (units + *text_units) < payload_size) return Error{u"The recovery file has bytes after its text."};
  const std::span<const std::uint8_t> payload = bytes.subspan(reader.position());
  // The checksum line itself is left out of what it covers.
  const std::size_t checksum_line = checksum->size() + std::string_view("checksum: \n").size();
  if (fnv1a(payload, fnv1a(checked_header.first(checked_header.size() - checksum_line))) != *expected) {
    return Error{u"The recovery file is damaged: its content doesn't match its checksum."};
  }

  if (path_units) header.path = read_units(payload.first(2 * units));
  content.text = read_units(payload.subspan(2 * units));
  return content;
}

}  // namespace wrenfold
