#include "file_write.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <vector>

#include "platform.h"
#include "temp_folder.h"

namespace wrenfold {
namespace {

using testing::core_path;
using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;
namespace fs = std::filesystem;

#ifdef _WIN32
constexpr std::u16string_view kDiskFullCode = u"(os error 112)";
#else
constexpr std::u16string_view kDiskFullCode = u"(os error 28)";
#endif

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Result<void> write(const fs::path& path, std::string_view content) {
  return write_file_atomically(core_path(path), bytes_of(content));
}

std::string printable(const Error& error) {
  return std::string(error.message.begin(), error.message.end());
}

TEST(FileWrite, CreatesAndReplacesFiles) {
  TempFolder folder;
  const fs::path file = folder / "notes.txt";
  ASSERT_TRUE(write(file, "first"));
  EXPECT_EQ(read_bytes(file), "first");
  ASSERT_TRUE(write(file, "second, longer"));
  EXPECT_EQ(read_bytes(file), "second, longer");
  ASSERT_TRUE(write(file, ""));
  EXPECT_EQ(read_bytes(file), "");

  // A relative path is made absolute against the current folder.
  const fs::path previous = fs::current_path();
  fs::current_path(folder.path());
  const Result<void> relative = write_file_atomically(u"relative.txt", bytes_of("here"));
  fs::current_path(previous);
  ASSERT_TRUE(relative) << printable(relative.error());
  EXPECT_EQ(read_bytes(folder / "relative.txt"), "here");
  EXPECT_EQ(folder.names().size(), 2u) << "no temporary files";
}

TEST(FileWrite, RefusesWhatCannotBeWritten) {
  TempFolder folder;
  const Result<void> empty = write_file_atomically(u"", bytes_of("x"));
  ASSERT_FALSE(empty);
  EXPECT_EQ(empty.error().message, u"cannot make an empty path absolute");

  fs::create_directory(folder / "sub");
  const std::vector<std::pair<fs::path, const char*>> cases = {
      {folder / "sub", "a folder"},
      {folder / "missing" / "file.txt", "a missing folder"},
  };
  for (const auto& [path, why] : cases) {
    const Result<void> written = write(path, "content");
    ASSERT_FALSE(written) << why;
    EXPECT_NE(written.error().message.find(u"(os error "), std::u16string::npos)
        << why << ": " << printable(written.error());
  }
  EXPECT_TRUE(fs::is_directory(folder / "sub"));
  EXPECT_TRUE(fs::is_empty(folder / "sub"));
  EXPECT_EQ(folder.names(), std::vector<std::string>{"sub"}) << "no temporary files";
}

// Turns the simulated full disk off again however the test ends.
struct DiskFullAfter {
  explicit DiskFullAfter(std::uint64_t bytes) { platform::simulate_disk_full_after(bytes); }
  ~DiskFullAfter() { platform::simulate_disk_full_after(std::nullopt); }
};

TEST(FileWrite, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::string old_content = "the old content, which must survive";
  const std::string new_content(200'000, 'n');
  for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{7}, std::uint64_t{65'536}}) {
    TempFolder folder;
    const fs::path file = folder / "settings.json";
    write_bytes(file, old_content);
    Result<void> written;
    {
      DiskFullAfter full(limit);
      written = write(file, new_content);
    }
    ASSERT_FALSE(written) << limit;
    EXPECT_NE(written.error().message.find(kDiskFullCode), std::u16string::npos)
        << printable(written.error());
    EXPECT_GT(written.error().message.find(u" (os error"), 0u) << "the system's text comes first";
    EXPECT_EQ(read_bytes(file), old_content) << limit;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.json"}) << limit;

    // And nothing at all when there was no file before.
    {
      DiskFullAfter full(limit);
      EXPECT_FALSE(write(folder / "new.txt", new_content));
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.json"}) << limit;
  }
}

TEST(FileWrite, ALinkKeepsPointingAtItsTargetWhichGetsTheContent) {
  TempFolder folder;
  fs::create_directory(folder / "real");
  write_bytes(folder / "real" / "file.txt", "old");
  std::error_code failed;
  fs::create_symlink(fs::path("real") / "file.txt", folder / "link.txt", failed);
  if (failed) GTEST_SKIP() << "this system can't make a file link: " << failed.message();

  const Result<void> written = write(folder / "link.txt", "new content");
  ASSERT_TRUE(written) << printable(written.error());
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(read_bytes(folder / "real" / "file.txt"), "new content");
  EXPECT_EQ(folder.names().size(), 2u) << "no temporary file beside the link";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), fs::directory_iterator()), 1)
      << "no temporary file beside the target";
}

#ifndef _WIN32
TEST(FileWrite, ReplacingKeepsTheFilePermissions) {
  TempFolder folder;
  const fs::path file = folder / "private.txt";
  write_bytes(file, "old");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(write(file, "new"));
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Makes a folder refuse new entries: immutable for root (who ignores permissions),
// read-only for anyone else. Undone when the test ends, so the folder can be removed.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder) : folder_(folder) {
    if (geteuid() == 0) {
      locked_ = set_immutable(true);
    } else {
      locked_ = ::chmod(folder_.c_str(), 0555) == 0;
    }
  }
  ~FolderLock() {
    if (!locked_) return;
    if (geteuid() == 0) set_immutable(false);
    else ::chmod(folder_.c_str(), 0755);
  }
  bool refuses_new_files() const {
    const fs::path probe = folder_ / "probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return true;
    ::close(fd);
    ::unlink(probe.c_str());
    return false;
  }

 private:
  bool set_immutable(bool on) {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }
  fs::path folder_;
  bool locked_ = false;
};
#endif

TEST(FileWrite, InPlaceWhenTheFolderRefusesNewFiles) {
  constexpr std::string_view kOld = "old content that is longer";
  constexpr std::string_view kNew = "new content";
  TempFolder temp;
  fs::path folder = temp.path();
#ifdef _WIN32
  // Under Wine only the Linux side can lock a folder; tests/tools/locked_folder_test does.
  const char* given = std::getenv("WRENFOLD_TEST_LOCKED_FOLDER");
  if (given == nullptr) GTEST_SKIP() << "needs a folder that refuses new files";
  folder = given;
#else
  write_bytes(folder / "target.txt", kOld);
  FolderLock lock(folder);
  if (!lock.refuses_new_files()) GTEST_SKIP() << "can't make a folder refuse new files here";
#endif
  ASSERT_EQ(read_bytes(folder / "target.txt"), kOld);

  const Result<void> written = write(folder / "target.txt", kNew);
  ASSERT_TRUE(written) << printable(written.error());
  EXPECT_EQ(read_bytes(folder / "target.txt"), kNew);

  // Without a file to overwrite, the refusal is the answer.
  const Result<void> refused = write(folder / "absent.txt", kNew);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().message.find(u"(os error "), std::u16string::npos);

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"target.txt"});
}

TEST(FileWrite, KeepsTheOnlyCopyWhenTheSwapFailsHalfWay) {
  TempFolder folder;
  const fs::path file = folder / "notes.txt";
  write_bytes(file, "old");
  // The replace deletes the old file and fails, and the rename that should rescue it fails.
  platform::simulate_lost_replacement(true);
  const Result<void> written = write(file, "new content");
  platform::simulate_lost_replacement(false);
  ASSERT_FALSE(written);
  EXPECT_FALSE(fs::exists(file));
  const std::vector<std::string> names = folder.names();
  ASSERT_EQ(names.size(), 1u) << "the temporary file is kept";
  EXPECT_EQ(read_bytes(folder / names[0]), "new content");
  const std::u16string kept(names[0].begin(), names[0].end());
  EXPECT_NE(written.error().message.find(u"The file is now only in "), std::u16string::npos) << printable(written.error());
  EXPECT_NE(written.error().message.find(kept), std::u16string::npos) << "the message says where: " << printable(written.error());

  // A failed rename of a new file leaves nothing behind: the old content was never there.
  platform::simulate_lost_replacement(true);
  const Result<void> created = write(folder / "new.txt", "content");
  platform::simulate_lost_replacement(false);
  ASSERT_FALSE(created);
  EXPECT_EQ(folder.names().size(), 1u);
}

TEST(FileWrite, SavesFilesWhoseNamesAreNearTheLengthLimit) {
  TempFolder folder;
  for (const std::size_t length : {200u, 230u, 250u, 255u}) {
    const fs::path file = folder / (std::string(length - 4, 'n') + ".txt");
    ASSERT_TRUE(write(file, "first")) << length;
    const Result<void> replaced = write(file, "second");
    ASSERT_TRUE(replaced) << length << ": " << printable(replaced.error());
    EXPECT_EQ(read_bytes(file), "second");
    fs::remove(file);
  }
  EXPECT_TRUE(folder.names().empty()) << "no temporary files";
}

}  // namespace
}  // namespace wrenfold
