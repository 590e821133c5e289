#pragma once
// The few system services the portable core needs. One implementation talks to Win32,
// the other is a self-contained POSIX stand-in that tests can steer.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>
#include <optional>
#include <utility>

namespace wrenfold::platform {

// ---- Files and folders, for the settings store and the atomic file writer.

// A failed system call: the system's error code (errno, or GetLastError on Windows) and
// its description followed by " (os error N)".
struct SystemError {
  std::uint32_t code = 0;
  bool permission_denied = false;
  std::u16string message;
};

// What a file operation with a result gives back: the value, or why there is none.
template <typename T>
struct SystemResult {
  T value{};
  std::optional<SystemError> error;
};

// Empty on success.
using SystemStatus = std::optional<SystemError>;

// An open file. Its owner closes it; a failure to close is only seen through close_file.
class File {
 public:
  File() = default;
  explicit File(std::intptr_t handle) : handle_(handle) {}
  File(File&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool is_open() const { return handle_ != kClosed; }
  std::intptr_t handle() const { return handle_; }
  std::intptr_t release() { return std::exchange(handle_, kClosed); }

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

std::optional<std::u16string> environment_variable(std::u16string_view name);
std::uint32_t process_id();
// Lets the calling thread yield to the interface thread when the processor is busy.
void lower_current_thread_priority();

bool is_path_separator(char16_t unit);
// `folder` and `name` joined by the system's separator.
std::u16string join_path(std::u16string_view folder, std::u16string_view name);
// The system's absolute form of `path`, with "." and ".." resolved as text.
SystemResult<std::u16string> full_path(std::u16string_view path);
// The path of what `path` finally names, every link followed.
SystemResult<std::u16string> final_path(std::u16string_view path);

// These look at the entry itself and never follow a link: a symbolic link or other
// name-surrogate reparse point.
bool is_symbolic_link(std::u16string_view path);
bool entry_exists(std::u16string_view path);
bool is_real_folder(std::u16string_view path);
// This one follows links.
bool is_regular_file(std::u16string_view path);

// The whole file.
SystemResult<std::vector<std::uint8_t>> read_file(std::u16string_view path);
// For reading in pieces. Others may write, rename and delete the file meanwhile.
SystemResult<File> open_file_for_reading(std::u16string_view path);
SystemResult<std::uint64_t> file_size(const File& file);
// One read at the current position, retried when interrupted; 0 means the end.
SystemResult<std::size_t> read_from_file(const File& file, std::span<std::uint8_t> buffer);
// Back to the first byte.
SystemStatus rewind_file(const File& file);

// What the metadata of a path says, links followed. The time and size count only for a
// regular file; `last_write_time` is in the system's own units and only ever compared.
struct FileMetadata {
  bool regular_file = false;
  std::uint64_t last_write_time = 0;
  std::uint64_t size = 0;
};
SystemResult<FileMetadata> file_metadata(std::u16string_view path);
// Fails when anything of that name exists. Others may read, write and delete it meanwhile.
SystemResult<File> create_new_file(std::u16string_view path);
// Opened for appending, created when missing. Others may read, write and delete it meanwhile.
SystemResult<File> open_file_for_appending(std::u16string_view path);
// An existing file, opened for writing at its start without truncating it.
SystemResult<File> open_file_for_writing(std::u16string_view path);
// One write, retried when interrupted; it may accept fewer bytes than offered.
SystemResult<std::size_t> write_to_file(const File& file, std::span<const std::uint8_t> bytes);
SystemStatus flush_file(const File& file);
SystemStatus set_file_length(const File& file, std::uint64_t length);
SystemStatus close_file(File& file);

// Swaps `replacement` in under the name `target`, which keeps its identity and attributes.
SystemStatus replace_file(std::u16string_view target, std::u16string_view replacement);
// Renames a file, replacing any file of the new name; the name never stops naming a file.
SystemStatus rename_file(std::u16string_view from, std::u16string_view to);
// Renames a folder to a name that is free.
SystemStatus move_folder(std::u16string_view from, std::u16string_view to);
SystemStatus delete_file(std::u16string_view path);
// Creates `path` and any missing parents; a folder that is already there is success.
SystemStatus create_folders(std::u16string_view path);

// Tests prove that a failed write loses nothing: after `bytes` more bytes every file write
// fails as if the disk were full; nullopt restores normal writes.
void simulate_disk_full_after(std::optional<std::uint64_t> bytes);

// Tests prove that a save whose swap fails half-way keeps the new content: while set, a
// replace deletes the target and then fails, and every rename fails.
void simulate_lost_replacement(bool lost);

// ---- end of files and folders.

// The system ANSI code page (GetACP on Windows).
unsigned ansi_code_page();

// Makes the ANSI services below work in `code_page`. The POSIX side knows 1252 and 65001;
// Windows cannot switch, so there it only answers whether `code_page` is already in use.
bool use_ansi_code_page(unsigned code_page);

// ANSI bytes to UTF-16 with the system's substitutions for unmapped bytes.
std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes);

// UTF-16 to ANSI bytes with the system's substitutions (best fit allowed).
std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text);

// True when converting `text` to the ANSI code page with best fit refused would put the
// default character anywhere.
bool ansi_conversion_uses_default_char(std::u16string_view text);

// The user's thousands separator; "," when the locale has none.
std::u16string thousands_separator();

// Makes thousands_separator answer `separator`. Only the POSIX side can; Windows answers
// whether `separator` is already the locale's.
bool use_thousands_separator(std::u16string_view separator);

// The first UTF-16 unit of the canonical decomposition (NFD) of `code_point`; the first unit
// of `code_point` itself when it has none or normalisation fails.
char16_t nfd_first_unit(char32_t code_point);

// ---- Cryptography and the machine, for the signed update manifest.

using Sha256Digest = std::array<std::uint8_t, 32>;

// Nothing when the system's hash fails.
std::optional<Sha256Digest> sha256(std::span<const std::uint8_t> bytes);

// Whether `signature` (r then s, 32 bytes each, big-endian) is a valid ECDSA P-256 signature
// of `hash` by the key whose uncompressed point is `public_point` (X then Y, big-endian).
bool verify_p256(std::span<const std::uint8_t, 64> public_point, const Sha256Digest& hash,
                 std::span<const std::uint8_t, 64> signature);

// Whether the machine's own processor is ARM64, even when this process runs emulated.
bool machine_is_arm64();

}  // namespace wrenfold::platform
