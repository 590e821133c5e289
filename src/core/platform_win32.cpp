// The system services on Windows. The core's UTF-16 strings are handed to the wide APIs
// directly: char16_t and wchar_t have the same size and representation there.

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>

#include "platform.h"
#include "utf.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace wrenfold::platform {
namespace {

// The conversion functions take int lengths; larger inputs go in pieces.
constexpr std::size_t kMaxPieceBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxPieceUnits = std::size_t{1} << 29;

// A piece of ANSI bytes ends just after a byte below 0x40: in every double-byte code page
// such a byte stands alone and is never the second half of a character.
std::size_t ansi_piece_length(std::span<const std::uint8_t> bytes) {
  if (bytes.size() <= kMaxPieceBytes) return bytes.size();
  for (std::size_t end = kMaxPieceBytes; end > kMaxPieceBytes / 2; --end) {
    if (bytes[end - 1] < 0x40) return end;
  }
  return kMaxPieceBytes;
}

// A piece of UTF-16 never ends between the two halves of a surrogate pair.
std::size_t utf16_piece_length(std::u16string_view text) {
  if (text.size() <= kMaxPieceUnits) return text.size();
  return utf::is_high_surrogate(text[kMaxPieceUnits - 1]) ? kMaxPieceUnits - 1 : kMaxPieceUnits;
}

const wchar_t* wide(const char16_t* units) { return reinterpret_cast<const wchar_t*>(units); }
wchar_t* wide(char16_t* units) { return reinterpret_cast<wchar_t*>(units); }
const char* narrow(const std::uint8_t* bytes) { return reinterpret_cast<const char*>(bytes); }
char* narrow(std::uint8_t* bytes) { return reinterpret_cast<char*>(bytes); }

}  // namespace

unsigned ansi_code_page() { return GetACP(); }

bool use_ansi_code_page(unsigned code_page) { return code_page == GetACP(); }

std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes) {
  std::u16string text;
  while (!bytes.empty()) {
    const std::size_t piece = ansi_piece_length(bytes);
    const int length = static_cast<int>(piece);
    const int needed = MultiByteToWideChar(CP_ACP, 0, narrow(bytes.data()), length, nullptr, 0);
    if (needed > 0) {
      const std::size_t start = text.size();
      text.resize(start + static_cast<std::size_t>(needed));
      const int written = MultiByteToWideChar(CP_ACP, 0, narrow(bytes.data()), length,
                                              wide(text.data() + start), needed);
      text.resize(start + static_cast<std::size_t>(std::max(written, 0)));
    }
    bytes = bytes.subspan(piece);
  }
  return text;
}

std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  while (!text.empty()) {
    const std::size_t piece = utf16_piece_length(text);
    const int length = static_cast<int>(piece);
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, wide(text.data()), length, nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      const std::size_t start = bytes.size();
      bytes.resize(start + static_cast<std::size_t>(needed));
      const int written = WideCharToMultiByte(CP_ACP, 0, wide(text.data()), length,
                                              narrow(bytes.data() + start), needed, nullptr, nullptr);
      bytes.resize(start + static_cast<std::size_t>(std::max(written, 0)));
    }
    text.remove_prefix(piece);
  }
  return bytes;
}

bool ansi_conversion_uses_default_char(std::u16string_view text) {
  while (!text.empty()) {
    const std::size_t piece = utf16_piece_length(text);
    BOOL used_default = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide(text.data()), static_cast<int>(piece),
                        nullptr, 0, nullptr, &used_default);
    if (used_default) return true;
    text.remove_prefix(piece);
  }
  return false;
}

std::u16string thousands_separator() {
  wchar_t buffer[8] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8);
  if (length < 2) return u",";
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length - 1));
}

bool use_thousands_separator(std::u16string_view separator) {
  return separator == thousands_separator();
}

char16_t nfd_first_unit(char32_t code_point) {
  char16_t units[2];
  const int length = static_cast<int>(utf::put_utf16(code_point, units));
  // No decomposition is longer than 18 code points; the buffer has room to spare.
  wchar_t decomposed[64];
  const int written = NormalizeString(NormalizationD, wide(units), length, decomposed, 64);
  return written > 0 ? static_cast<char16_t>(decomposed[0]) : units[0];
}

}  // namespace wrenfold::platform

// ---- Files and folders.

namespace wrenfold::platform {
namespace {

std::optional<std::uint64_t> disk_full_after;
bool replacement_lost = false;

// The wide APIs want terminated strings; views are copied once.
std::wstring wide_path(std::u16string_view path) {
  return std::wstring(reinterpret_cast<const wchar_t*>(path.data()), path.size());
}

std::u16string core_text(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

SystemError system_error(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string message;
  if (length > 0 && buffer != nullptr) message = core_text(buffer, length);
  LocalFree(buffer);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                              message.back() == u' ')) {
    message.pop_back();
  }
  if (message.empty()) message = u"Unknown error";
  message += u" (os error ";
  for (char digit : std::to_string(code)) message += static_cast<char16_t>(digit);
  message += u')';
  return {code, code == ERROR_ACCESS_DENIED, std::move(message)};
}

SystemStatus status_of(BOOL succeeded) {
  if (succeeded) return std::nullopt;
  return system_error(GetLastError());
}

HANDLE native_handle(const File& file) { return reinterpret_cast<HANDLE>(file.handle()); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

SystemResult<File> open_file(std::u16string_view path, DWORD access, DWORD disposition,
                             DWORD flags) {
  const HANDLE handle = CreateFileW(wide_path(path).c_str(), access, kShareAll, nullptr,
                                    disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {File(), system_error(GetLastError())};
  return {File(reinterpret_cast<std::intptr_t>(handle)), std::nullopt};
}

// What the entry itself is, without following a link.
struct EntryInfo {
  bool exists = false;
  DWORD attributes = 0;
  DWORD reparse_tag = 0;
};

EntryInfo entry_info(std::u16string_view path) {
  SystemResult<File> opened =
      open_file(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (opened.error) {
    // Some entries refuse even attribute access; their attributes alone still tell a folder.
    const DWORD attributes = GetFileAttributesW(wide_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    return {true, attributes, 0};
  }
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(native_handle(opened.value), FileAttributeTagInfo, &info,
                                    sizeof info)) {
    return {true, GetFileAttributesW(wide_path(path).c_str()), 0};
  }
  return {true, info.FileAttributes, info.ReparseTag};
}

bool is_name_surrogate(const EntryInfo& info) {
  return (info.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsReparseTagNameSurrogate(info.reparse_tag);
}

}  // namespace

std::optional<std::u16string> environment_variable(std::u16string_view name) {
  const std::wstring wide_name = wide_path(name);
  std::wstring value(256, L'\0');
  while (true) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                 static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::u16string();
    }
    if (length < value.size()) return core_text(value.data(), length);
    value.resize(length);
  }
}

std::uint32_t process_id() { return GetCurrentProcessId(); }

void lower_current_thread_priority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

bool is_path_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

std::u16string join_path(std::u16string_view folder, std::u16string_view name) {
  std::u16string joined(folder);
  if (!joined.empty() && !is_path_separator(joined.back()) && joined.back() != u':') {
    joined += u'\\';
  }
  joined += name;
  return joined;
}

SystemResult<std::u16string> full_path(std::u16string_view path) {
  const std::wstring input = wide_path(path);
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetFullPathNameW(input.c_str(), static_cast<DWORD>(buffer.size()),
                                          buffer.data(), nullptr);
    if (length == 0) return {u"", system_error(GetLastError())};
    if (length < buffer.size()) return {core_text(buffer.data(), length), std::nullopt};
    buffer.resize(length);
  }
}

SystemResult<std::u16string> final_path(std::u16string_view path) {
  SystemResult<File> opened = open_file(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (opened.error) return {u"", opened.error};
  std::wstring buffer(512, L'\0');
  while (true) {
    const DWORD length = GetFinalPathNameByHandleW(
        native_handle(opened.value), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return {u"", system_error(GetLastError())};
    if (length < buffer.size()) return {core_text(buffer.data(), length), std::nullopt};
    buffer.resize(buffer.size() * 2);
  }
}

bool is_symbolic_link(std::u16string_view path) { return is_name_surrogate(entry_info(path)); }

bool entry_exists(std::u16string_view path) { return entry_info(path).exists; }

bool is_real_folder(std::u16string_view path) {
  const EntryInfo info = entry_info(path);
  return info.exists && (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         !is_name_surrogate(info);
}

bool is_regular_file(std::u16string_view path) {
  SystemResult<File> opened =
      open_file(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (opened.error) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(native_handle(opened.value)) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(native_handle(opened.value), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

SystemResult<FileMetadata> file_metadata(std::u16string_view path) {
  SystemResult<File> opened =
      open_file(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (opened.error) return {{}, opened.error};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(native_handle(opened.value), &info)) {
    return {{}, system_error(GetLastError())};
  }
  FileMetadata metadata;
  metadata.regular_file = GetFileType(native_handle(opened.value)) == FILE_TYPE_DISK &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  metadata.last_write_time = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                             info.ftLastWriteTime.dwLowDateTime;
  metadata.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return {metadata, std::nullopt};
}

SystemResult<File> open_file_for_reading(std::u16string_view path) {
  // Sharing delete lets another window replace the file while this one reads it.
  return open_file(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

SystemResult<std::uint64_t> file_size(const File& file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(native_handle(file), &size)) return {0, system_error(GetLastError())};
  return {static_cast<std::uint64_t>(size.QuadPart), std::nullopt};
}

SystemResult<std::size_t> read_from_file(const File& file, std::span<std::uint8_t> buffer) {
  // ReadFile counts in 32 bits; the caller loops.
  const DWORD length = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), std::size_t{1} << 30));
  DWORD count = 0;
  if (!ReadFile(native_handle(file), buffer.data(), length, &count, nullptr)) {
    return {0, system_error(GetLastError())};
  }
  return {count, std::nullopt};
}

SystemStatus rewind_file(const File& file) {
  const LARGE_INTEGER start{};
  return status_of(SetFilePointerEx(native_handle(file), start, nullptr, FILE_BEGIN));
}

SystemResult<File> create_new_file(std::u16string_view path) {
  return open_file(path, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
}

SystemResult<File> open_file_for_appending(std::u16string_view path) {
  return open_file(path, FILE_APPEND_DATA, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

SystemResult<File> open_file_for_writing(std::u16string_view path) {
  return open_file(path, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

SystemResult<std::size_t> write_to_file(const File& file, std::span<const std::uint8_t> bytes) {
  // WriteFile counts in 32 bits; the caller loops over what is left.
  constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
  std::size_t length = std::min(bytes.size(), kMaxPiece);
  if (disk_full_after) {
    if (*disk_full_after == 0) return {0, system_error(ERROR_DISK_FULL)};
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, *disk_full_after));
  }
  DWORD written = 0;
  if (!WriteFile(native_handle(file), bytes.data(), static_cast<DWORD>(length), &written,
                 nullptr)) {
    return {0, system_error(GetLastError())};
  }
  if (disk_full_after) *disk_full_after -= written;
  return {written, std::nullopt};
}

SystemStatus flush_file(const File& file) { return status_of(FlushFileBuffers(native_handle(file))); }

SystemStatus set_file_length(const File& file, std::uint64_t length) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(native_handle(file), position, nullptr, FILE_BEGIN)) {
    return system_error(GetLastError());
  }
  return status_of(SetEndOfFile(native_handle(file)));
}

SystemStatus close_file(File& file) {
  if (!file.is_open()) return std::nullopt;
  return status_of(CloseHandle(reinterpret_cast<HANDLE>(file.release())));
}

SystemStatus replace_file(std::u16string_view target, std::u16string_view replacement) {
  const std::wstring wide_target = wide_path(target);
  const std::wstring wide_replacement = wide_path(replacement);
  // Some implementations report success for a folder and write nothing.
  const DWORD target_attributes = GetFileAttributesW(wide_target.c_str());
  if (target_attributes != INVALID_FILE_ATTRIBUTES &&
      (target_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return system_error(ERROR_ACCESS_DENIED);
  }
  if (replacement_lost) {
    DeleteFileW(wide_target.c_str());
    return system_error(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (ReplaceFileW(wide_target.c_str(), wide_replacement.c_str(), nullptr,
                   REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                   nullptr)) {
    return std::nullopt;
  }
  const DWORD code = GetLastError();
  // This failure can leave the old file deleted and the new one still under its temporary
  // name; moving it into place is then the only way to keep the content.
  if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT && !entry_exists(target)) {
    return status_of(MoveFileExW(wide_replacement.c_str(), wide_target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING));
  }
  return system_error(code);
}

SystemStatus rename_file(std::u16string_view from, std::u16string_view to) {
  if (replacement_lost) return system_error(ERROR_ACCESS_DENIED);
  // Write-through: the rename is on disk before the caller goes on.
  return status_of(MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

SystemStatus move_folder(std::u16string_view from, std::u16string_view to) {
  return status_of(MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), 0));
}

SystemStatus delete_file(std::u16string_view path) {
  return status_of(DeleteFileW(wide_path(path).c_str()));
}

SystemStatus create_folders(std::u16string_view path) {
  while (!path.empty() && is_path_separator(path.back())) path.remove_suffix(1);
  if (path.empty() || path.back() == u':') return std::nullopt;
  if (CreateDirectoryW(wide_path(path).c_str(), nullptr)) return std::nullopt;
  DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS) {
    const DWORD attributes = GetFileAttributesW(wide_path(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return std::nullopt;
    }
    return system_error(code);
  }
  if (code != ERROR_PATH_NOT_FOUND) return system_error(code);
  std::size_t separator = path.size();
  while (separator > 0 && !is_path_separator(path[separator - 1])) --separator;
  if (separator <= 1) return system_error(code);
  if (SystemStatus parent = create_folders(path.substr(0, separator - 1))) return parent;
  if (CreateDirectoryW(wide_path(path).c_str(), nullptr)) return std::nullopt;
  code = GetLastError();
  return code == ERROR_ALREADY_EXISTS ? std::nullopt : SystemStatus(system_error(code));
}

void simulate_disk_full_after(std::optional<std::uint64_t> bytes) { disk_full_after = bytes; }

void simulate_lost_replacement(bool lost) { replacement_lost = lost; }

}  // namespace wrenfold::platform

// ---- Cryptography and the machine, through CNG.

// The algorithm pseudo-handles are missing from the MinGW headers.
#ifndef BCRYPT_SHA256_ALG_HANDLE
#define BCRYPT_SHA256_ALG_HANDLE reinterpret_cast<BCRYPT_ALG_HANDLE>(0x00000041)
#endif
#ifndef BCRYPT_ECDSA_P256_ALG_HANDLE
#define BCRYPT_ECDSA_P256_ALG_HANDLE reinterpret_cast<BCRYPT_ALG_HANDLE>(0x000002E1)
#endif

namespace wrenfold::platform {
namespace {

class UniqueKey {
 public:
  UniqueKey() = default;
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  ~UniqueKey() {
    if (key_ != nullptr) BCryptDestroyKey(key_);
  }
  BCRYPT_KEY_HANDLE get() const { return key_; }
  BCRYPT_KEY_HANDLE* put() { return &key_; }

 private:
  BCRYPT_KEY_HANDLE key_ = nullptr;
};

}  // namespace

std::optional<Sha256Digest> sha256(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > ULONG_MAX) return std::nullopt;
  Sha256Digest digest{};
  const NTSTATUS status =
      BCryptHash(BCRYPT_SHA256_ALG_HANDLE, nullptr, 0, const_cast<PUCHAR>(bytes.data()),
                 static_cast<ULONG>(bytes.size()), digest.data(), digest.size());
  if (status != 0) return std::nullopt;
  return digest;
}

bool verify_p256(std::span<const std::uint8_t, 64> public_point, const Sha256Digest& hash,
                 std::span<const std::uint8_t, 64> signature) {
  std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, public_point.data(), public_point.size());
  UniqueKey key;
  if (BCryptImportKeyPair(BCRYPT_ECDSA_P256_ALG_HANDLE, nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                          blob.data(), static_cast<ULONG>(blob.size()), 0) != 0) {
    return false;
  }
  Sha256Digest hash_copy = hash;
  std::array<std::uint8_t, 64> signature_copy{};
  std::copy(signature.begin(), signature.end(), signature_copy.begin());
  return BCryptVerifySignature(key.get(), nullptr, hash_copy.data(), hash_copy.size(),
                               signature_copy.data(), signature_copy.size(), 0) == 0;
}

bool machine_is_arm64() {
  USHORT process_machine = 0;
  USHORT native_machine = 0;
  return IsWow64Process2(GetCurrentProcess(), &process_machine, &native_machine) &&
         native_machine == IMAGE_FILE_MACHINE_ARM64;
}

}  // namespace wrenfold::platform
