// POSIX stand-ins for the system services. The ANSI code page is one of the two that
// matter most on Windows desktops, 1252 or 65001, chosen by use_ansi_code_page.

#include <algorithm>
#include <array>
#include <iterator>

#include <errno.h>
#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "platform.h"
#include "utf.h"

namespace wrenfold::platform {
namespace {

constexpr unsigned kWesternEuropean = 1252;
constexpr unsigned kUtf8 = 65001;

unsigned selected_code_page = kWesternEuropean;
std::u16string selected_thousands_separator = u",";

// Bytes 0x80 to 0x9F of code page 1252. The five holes map to the C1 controls, as
// Windows' own conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows_1252_to_unit(std::uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
  return byte;
}

// The byte for a unit, or nothing when 1252 has no such character.
bool unit_to_windows_1252(char16_t unit, std::uint8_t& byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    byte = static_cast<std::uint8_t>(unit);
    return true;
  }
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == unit) {
      byte = static_cast<std::uint8_t>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::u16string utf8_to_utf16_replacing(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size(), u'\0');
  std::size_t o = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes[i] < 0x80) {
      text[o++] = bytes[i++];
      continue;
    }
    const utf::Utf8Sequence sequence = utf::decode_utf8_sequence(bytes.data() + i, bytes.size() - i);
    o += sequence.valid ? utf::put_utf16(sequence.code_point, text.data() + o)
                        : utf::put_utf16(utf::kReplacementCharacter, text.data() + o);
    i += sequence.length;
  }
  text.resize(o);
  return text;
}

std::vector<std::uint8_t> utf16_to_utf8_replacing(std::u16string_view text) {
  std::vector<std::uint8_t> bytes(text.size() * 3);
  std::size_t o = 0;
  for (std::size_t i = 0; i < text.size();) {
    const utf::CodePoint code_point = utf::code_point_at(text.data(), text.size(), i);
    o += utf::put_utf8(code_point.value, bytes.data() + o);
    i += code_point.units;
  }
  bytes.resize(o);
  return bytes;
}

// One '?' for each character 1252 cannot hold, a surrogate pair counting as one.
std::vector<std::uint8_t> utf16_to_windows_1252(std::u16string_view text, bool& lost) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size());
  lost = false;
  for (std::size_t i = 0; i < text.size();) {
    std::uint8_t byte = '?';
    const utf::CodePoint code_point = utf::code_point_at(text.data(), text.size(), i);
    if (code_point.units != 1 || !unit_to_windows_1252(text[i], byte)) {
      byte = '?';
      lost = true;
    }
    bytes.push_back(byte);
    i += code_point.units;
  }
  return bytes;
}

}  // namespace

unsigned ansi_code_page() { return selected_code_page; }

bool use_ansi_code_page(unsigned code_page) {
  if (code_page != kWesternEuropean && code_page != kUtf8) return false;
  selected_code_page = code_page;
  return true;
}

std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes) {
  if (selected_code_page == kUtf8) return utf8_to_utf16_replacing(bytes);
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = windows_1252_to_unit(bytes[i]);
  return text;
}

std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text) {
  if (selected_code_page == kUtf8) return utf16_to_utf8_replacing(text);
  bool lost = false;
  return utf16_to_windows_1252(text, lost);
}

bool ansi_conversion_uses_default_char(std::u16string_view text) {
  if (selected_code_page == kUtf8) {
    const std::vector<std::uint8_t> bytes = utf16_to_utf8_replacing(text);
    return utf8_to_utf16_replacing(bytes) != text;
  }
  bool lost = false;
  utf16_to_windows_1252(text, lost);
  return lost;
}

std::u16string thousands_separator() { return selected_thousands_separator; }

bool use_thousands_separator(std::u16string_view separator) {
  selected_thousands_separator = separator.empty() ? u"," : std::u16string(separator);
  return true;
}

namespace {

struct NfdFirstUnit {
  char32_t code_point;
  char16_t first_unit;
};

// Only code points whose decomposition starts with a different unit than they do.
constexpr NfdFirstUnit kNfdFirstUnits[] = {
#include "nfd_first_units.inc"
};

constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kHangulLast = 0xD7A3;
constexpr char32_t kHangulLeadingJamo = 0x1100;
constexpr char32_t kHangulSyllablesPerLeadingJamo = 588;

}  // namespace

char16_t nfd_first_unit(char32_t code_point) {
  if (code_point >= kHangulFirst && code_point <= kHangulLast) {
    return static_cast<char16_t>(kHangulLeadingJamo +
                                 (code_point - kHangulFirst) / kHangulSyllablesPerLeadingJamo);
  }
  const auto* end = std::end(kNfdFirstUnits);
  const auto* found = std::lower_bound(
      std::begin(kNfdFirstUnits), end, code_point,
      [](const NfdFirstUnit& entry, char32_t wanted) { return entry.code_point < wanted; });
  if (found != end && found->code_point == code_point) return found->first_unit;
  char16_t units[2];
  utf::put_utf16(code_point, units);
  return units[0];
}

}  // namespace wrenfold::platform

// ---- Files and folders. Paths travel as UTF-16 in the core and as UTF-8 bytes here.

namespace wrenfold::platform {
namespace {

std::optional<std::uint64_t> disk_full_after;
bool replacement_lost = false;

std::string native_path(std::u16string_view path) {
  const std::vector<std::uint8_t> bytes = utf16_to_utf8_replacing(path);
  return std::string(bytes.begin(), bytes.end());
}

std::u16string core_text(std::string_view text) {
  return utf8_to_utf16_replacing(
      {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

SystemError system_error(int code) {
  char buffer[256];
  // The GNU strerror_r may return a static string instead of filling the buffer.
  const char* description = strerror_r(code, buffer, sizeof buffer);
  std::u16string message = core_text(description);
  message += u" (os error ";
  message += core_text(std::to_string(code));
  message += u')';
  return {static_cast<std::uint32_t>(code), code == EACCES || code == EPERM, std::move(message)};
}

SystemStatus status_of(bool succeeded) {
  if (succeeded) return std::nullopt;
  return system_error(errno);
}

int descriptor(const File& file) { return static_cast<int>(file.handle()); }

// "." and ".." resolved as text, repeated separators folded; `path` starts with "/".
std::u16string normalize_absolute(std::u16string_view path) {
  const bool trailing_separator = path.size() > 1 && path.back() == u'/';
  std::vector<std::u16string_view> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find(u'/');
    const std::u16string_view part = path.substr(0, slash);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    if (slash == std::u16string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  std::u16string normalized;
  for (std::u16string_view part : parts) {
    normalized += u'/';
    normalized += part;
  }
  // A trailing separator says the path names a folder; keep saying it.
  if (normalized.empty() || trailing_separator) normalized += u'/';
  return normalized;
}

SystemResult<File> open_file(std::u16string_view path, int flags) {
  const int fd = ::open(native_path(path).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return {File(), system_error(errno)};
  return {File(fd), std::nullopt};
}

}  // namespace

std::optional<std::u16string> environment_variable(std::u16string_view name) {
  const char* value = std::getenv(native_path(name).c_str());
  if (value == nullptr) return std::nullopt;
  return core_text(value);
}

std::uint32_t process_id() { return static_cast<std::uint32_t>(::getpid()); }

// Linux applies a nice value to the calling thread alone.
void lower_current_thread_priority() { errno = 0; (void)::nice(5); }

bool is_path_separator(char16_t unit) { return unit == u'/'; }

std::u16string join_path(std::u16string_view folder, std::u16string_view name) {
  std::u16string joined(folder);
  if (!joined.empty() && joined.back() != u'/') joined += u'/';
  joined += name;
  return joined;
}

SystemResult<std::u16string> full_path(std::u16string_view path) {
  if (!path.empty() && path[0] == u'/') return {normalize_absolute(path), std::nullopt};
  std::vector<char> folder(256);
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return {u"", system_error(errno)};
    folder.resize(folder.size() * 2);
  }
  return {normalize_absolute(join_path(core_text(folder.data()), path)), std::nullopt};
}

SystemResult<std::u16string> final_path(std::u16string_view path) {
  char* resolved = ::realpath(native_path(path).c_str(), nullptr);
  if (resolved == nullptr) return {u"", system_error(errno)};
  std::u16string text = core_text(resolved);
  std::free(resolved);
  return {std::move(text), std::nullopt};
}

bool is_symbolic_link(std::u16string_view path) {
  struct stat info {};
  return ::lstat(native_path(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool entry_exists(std::u16string_view path) {
  struct stat info {};
  return ::lstat(native_path(path).c_str(), &info) == 0;
}

bool is_real_folder(std::u16string_view path) {
  struct stat info {};
  return ::lstat(native_path(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_regular_file(std::u16string_view path) {
  struct stat info {};
  return ::stat(native_path(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

SystemResult<FileMetadata> file_metadata(std::u16string_view path) {
  struct stat info {};
  if (::stat(native_path(path).c_str(), &info) != 0) return {{}, system_error(errno)};
  FileMetadata metadata;
  metadata.regular_file = S_ISREG(info.st_mode);
  metadata.last_write_time = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1'000'000'000u +
                             static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
  metadata.size = static_cast<std::uint64_t>(info.st_size);
  return {metadata, std::nullopt};
}

SystemResult<File> open_file_for_reading(std::u16string_view path) {
  return open_file(path, O_RDONLY);
}

SystemResult<std::uint64_t> file_size(const File& file) {
  struct stat info {};
  if (::fstat(descriptor(file), &info) != 0) return {0, system_error(errno)};
  return {static_cast<std::uint64_t>(info.st_size), std::nullopt};
}

SystemResult<std::size_t> read_from_file(const File& file, std::span<std::uint8_t> buffer) {
  while (true) {
    const ssize_t count = ::read(descriptor(file), buffer.data(), buffer.size());
    if (count >= 0) return {static_cast<std::size_t>(count), std::nullopt};
    if (errno != EINTR) return {0, system_error(errno)};
  }
}

SystemStatus rewind_file(const File& file) {
  if (::lseek(descriptor(file), 0, SEEK_SET) < 0) return system_error(errno);
  return std::nullopt;
}

SystemResult<File> create_new_file(std::u16string_view path) {
  return open_file(path, O_WRONLY | O_CREAT | O_EXCL);
}

SystemResult<File> open_file_for_appending(std::u16string_view path) {
  return open_file(path, O_WRONLY | O_CREAT | O_APPEND);
}

SystemResult<File> open_file_for_writing(std::u16string_view path) {
  return open_file(path, O_WRONLY);
}

SystemResult<std::size_t> write_to_file(const File& file, std::span<const std::uint8_t> bytes) {
  if (disk_full_after) {
    if (*disk_full_after == 0) return {0, system_error(ENOSPC)};
    bytes = bytes.first(static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), *disk_full_after)));
  }
  ssize_t count;
  do {
    count = ::write(descriptor(file), bytes.data(), bytes.size());
  } while (count < 0 && errno == EINTR);
  if (count < 0) return {0, system_error(errno)};
  if (disk_full_after) *disk_full_after -= static_cast<std::uint64_t>(count);
  return {static_cast<std::size_t>(count), std::nullopt};
}

SystemStatus flush_file(const File& file) { return status_of(::fsync(descriptor(file)) == 0); }

SystemStatus set_file_length(const File& file, std::uint64_t length) {
  return status_of(::ftruncate(descriptor(file), static_cast<off_t>(length)) == 0);
}

SystemStatus close_file(File& file) {
  if (!file.is_open()) return std::nullopt;
  // Linux releases the descriptor even when close reports an error, so it is never retried.
  return status_of(::close(static_cast<int>(file.release())) == 0);
}

SystemStatus replace_file(std::u16string_view target, std::u16string_view replacement) {
  if (replacement_lost) {
    ::unlink(native_path(target).c_str());
    return system_error(EIO);
  }
  // A rename gives the new file its own permissions; carry the old ones over, as far as
  // an ordinary user can.
  struct stat info {};
  if (::stat(native_path(target).c_str(), &info) == 0) {
    ::chmod(native_path(replacement).c_str(), info.st_mode & 07777);
  }
  return rename_file(replacement, target);
}

SystemStatus rename_file(std::u16string_view from, std::u16string_view to) {
  if (replacement_lost) return system_error(EACCES);
  return status_of(::rename(native_path(from).c_str(), native_path(to).c_str()) == 0);
}

SystemStatus move_folder(std::u16string_view from, std::u16string_view to) {
  return rename_file(from, to);
}

SystemStatus delete_file(std::u16string_view path) {
  return status_of(::unlink(native_path(path).c_str()) == 0);
}

SystemStatus create_folders(std::u16string_view path) {
  while (!path.empty() && path.back() == u'/') path.remove_suffix(1);
  if (path.empty()) return std::nullopt;
  if (::mkdir(native_path(path).c_str(), 0777) == 0) return std::nullopt;
  if (errno == EEXIST) {
    struct stat info {};
    const bool folder = ::stat(native_path(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return folder ? std::nullopt : SystemStatus(system_error(EEXIST));
  }
  if (errno != ENOENT) return system_error(errno);
  const std::size_t slash = path.rfind(u'/');
  if (slash == std::u16string_view::npos || slash == 0) return system_error(ENOENT);
  if (SystemStatus parent = create_folders(path.substr(0, slash))) return parent;
  return status_of(::mkdir(native_path(path).c_str(), 0777) == 0 || errno == EEXIST);
}

void simulate_disk_full_after(std::optional<std::uint64_t> bytes) { disk_full_after = bytes; }

void simulate_lost_replacement(bool lost) { replacement_lost = lost; }

}  // namespace wrenfold::platform

// ---- Cryptography and the machine, through OpenSSL's libcrypto.

namespace wrenfold::platform {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct PkeyContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct SignatureFree {
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};
struct BignumFree {
  void operator()(BIGNUM* number) const { BN_free(number); }
};
using UniquePkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using UniquePkeyContext = std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree>;
using UniqueSignature = std::unique_ptr<ECDSA_SIG, SignatureFree>;
using UniqueBignum = std::unique_ptr<BIGNUM, BignumFree>;

// Importing checks that the point lies on the curve.
UniquePkey p256_public_key(std::span<const std::uint8_t, 64> public_point) {
  std::array<unsigned char, 65> encoded{0x04};
  std::copy(public_point.begin(), public_point.end(), encoded.begin() + 1);
  char group[] = "prime256v1";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, encoded.data(), encoded.size()),
      OSSL_PARAM_construct_end()};
  UniquePkeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* key = nullptr;
  if (!context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
      EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    return nullptr;
  }
  return UniquePkey(key);
}

// The DER form OpenSSL verifies, from the raw r and s.
std::vector<unsigned char> der_signature(std::span<const std::uint8_t, 64> signature) {
  UniqueBignum r(BN_bin2bn(signature.data(), 32, nullptr));
  UniqueBignum s(BN_bin2bn(signature.data() + 32, 32, nullptr));
  UniqueSignature pair(ECDSA_SIG_new());
  if (!r || !s || !pair || ECDSA_SIG_set0(pair.get(), r.get(), s.get()) != 1) return {};
  r.release();
  s.release();
  const int length = i2d_ECDSA_SIG(pair.get(), nullptr);
  if (length <= 0) return {};
  std::vector<unsigned char> der(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  if (i2d_ECDSA_SIG(pair.get(), &out) != length) return {};
  return der;
}

}  // namespace

std::optional<Sha256Digest> sha256(std::span<const std::uint8_t> bytes) {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
      length != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

bool verify_p256(std::span<const std::uint8_t, 64> public_point, const Sha256Digest& hash,
                 std::span<const std::uint8_t, 64> signature) {
  const UniquePkey key = p256_public_key(public_point);
  const std::vector<unsigned char> der = der_signature(signature);
  if (!key || der.empty()) return false;
  UniquePkeyContext context(EVP_PKEY_CTX_new(key.get(), nullptr));
  return context && EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_verify(context.get(), der.data(), der.size(), hash.data(), hash.size()) == 1;
}

bool machine_is_arm64() {
  utsname name{};
  if (::uname(&name) != 0) return false;
  const std::string_view machine = name.machine;
  return machine == "aarch64" || machine == "arm64";
}

}  // namespace wrenfold::platform
