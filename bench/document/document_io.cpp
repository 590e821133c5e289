// Opening and saving a 100 MiB UTF-8 document below the editor, next to a plain read and a
// plain write of the same file in the same run. Built natively and for Wine, so the same
// numbers come from both. Prints medians and the ratios against their targets.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "document_file.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileBytes = 100u << 20;
constexpr double kTarget = 2.0;

// `line` repeated to 100 MiB.
std::vector<std::uint8_t> make_document(const std::string& line) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kFileBytes);
  while (bytes.size() + line.size() <= kFileBytes) bytes.insert(bytes.end(), line.begin(), line.end());
  while (bytes.size() < kFileBytes) bytes.push_back('x');
  return bytes;
}

double milliseconds_of(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::vector<std::uint8_t> plain_read(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(fs::file_size(path)));
  const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  bytes.resize(read);
  return bytes;
}

// With the flush to disk that a save makes too, unless `flush` is off.
void plain_write(const std::string& path, const std::vector<std::uint8_t>& bytes, bool flush) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fflush(file);
  if (flush) {
#ifdef _WIN32
    _commit(_fileno(file));
#else
    fsync(fileno(file));
#endif
  }
  std::fclose(file);
}

void report(const char* label, double measured_ms, double anchor_ms, double target) {
  const double ratio = measured_ms / anchor_ms;
  if (target == 0) {
    std::printf("%-52s %9.1f ms  %5.2fx  information\n", label, measured_ms, ratio);
  } else {
    std::printf("%-52s %9.1f ms  %5.2fx  target %.1fx: %s\n", label, measured_ms, ratio, target,
                ratio <= target ? "met" : "MISSED");
  }
}

// Measures one kind of document; false when the saved file differs from the source.
bool measure(const char* kind, const std::string& line, int rounds, const fs::path& folder) {
  const std::string source = (folder / "document.txt").string();
  const std::string plain_target = (folder / "plain.txt").string();
  const std::string saved_target = (folder / "saved.txt").string();
  {
    const std::vector<std::uint8_t> document = make_document(line);
    plain_write(source, document, true);
    plain_write(saved_target, document, true);  // a save replaces an existing file
  }
  const std::u16string source_path = fs::path(source).u16string();
  const std::u16string saved_path = fs::path(saved_target).u16string();

  std::vector<double> read_ms, open_ms, buffer_ms, write_ms, write_unflushed_ms, save_ms;
  std::u16string text;
  for (int round = 0; round < rounds; ++round) {
    read_ms.push_back(milliseconds_of([&] { (void)plain_read(source).size(); }));
    open_ms.push_back(milliseconds_of([&] {
      wrenfold::Result<wrenfold::DecodedText> decoded = wrenfold::read_document(source_path);
      if (!decoded) std::abort();
      text = std::move(decoded->text);
    }));
    // What the text's memory alone costs: every byte gives up to one two-byte unit.
    buffer_ms.push_back(milliseconds_of([&] {
      std::u16string buffer;
      buffer.resize(kFileBytes);
      if (buffer[kFileBytes / 2] != 0) std::abort();
    }));
  }
  const std::vector<std::uint8_t> bytes = plain_read(source);
  // Every timed write leaves nothing dirty behind: a flush would otherwise also pay for the
  // write before it.
  for (int round = 0; round < rounds; ++round) {
    write_ms.push_back(milliseconds_of([&] { plain_write(plain_target, bytes, true); }));
    save_ms.push_back(milliseconds_of([&] {
      if (!wrenfold::save_document(saved_path, text, wrenfold::Encoding::Utf8, wrenfold::LineEnding::Windows)) {
        std::abort();
      }
    }));
  }
  for (int round = 0; round < rounds; ++round) {
    write_unflushed_ms.push_back(milliseconds_of([&] { plain_write(plain_target, bytes, false); }));
  }
  if (plain_read(saved_target) != bytes) {
    std::puts("the saved file differs from the source");
    return false;
  }

  std::printf("\n100 MiB UTF-8 document, %s, median of %d rounds\n", kind, rounds);
  std::printf("%-52s %9.1f ms\n", "plain read (fread into a sized buffer)", median(read_ms));
  report("open: read_document", median(open_ms), median(read_ms), kTarget);
  report("the text's memory alone (a fresh 200 MiB u16string)", median(buffer_ms), median(read_ms), 0);
  std::printf("%-52s %9.1f ms\n", "plain write with flush to disk", median(write_ms));
  report("save: save_document (encode + atomic write)", median(save_ms), median(write_ms), kTarget);
  report("save against a plain write without flush", median(save_ms), median(write_unflushed_ms), 0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const fs::path folder = fs::temp_directory_path() / "wrenfold-document-bench";
  fs::create_directories(folder);
  const bool same =
      measure("mixed text (three non-ASCII characters in a line of 60 bytes), CR LF lines",
              "The quick brown fox \xC3\xA9t\xC3\xA9 \xE2\x86\x92 jumps over the lazy dog, 0123456789.\r\n", rounds,
              folder) &&
      measure("ASCII prose, CR LF lines of 100 bytes",
              "It was a bright cold day in April, and the clocks were striking thirteen; the hallway smelt of it.\r\n",
              rounds, folder);
  fs::remove_all(folder);
  return same ? 0 : 1;
}
