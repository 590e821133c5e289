#pragma once
// When a window writes its recovery file, and the worker that writes it, so that typing never
// waits for the disk.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "recovery_file.h"

namespace wrenfold {

inline constexpr std::uint64_t kRecoveryQuietMs = 1'000;     // after the last change
inline constexpr std::uint64_t kRecoveryLongestWaitMs = 10'000;  // during continuous typing
// A write that cost c milliseconds waits at least this many times c before the next one, so
// recovery takes at most 1 / (1 + 19) = 5 % of the time, however large the document.
inline constexpr std::uint64_t kRecoveryIdleFactor = 19;

struct RecoveryTiming {
  std::uint64_t first_unwritten_change_ms = 0;  // the oldest change not yet in the file
  std::uint64_t last_change_ms = 0;
  std::optional<std::uint64_t> last_write_end_ms;  // none before the first write
  std::uint64_t last_write_cost_ms = 0;            // interface thread and worker together
};

// The earliest moment (same clock as the timing) at which the next write should start.
std::uint64_t recovery_write_due_ms(const RecoveryTiming& timing);

// One worker thread per window. Jobs run in the order given; a write still waiting is replaced
// by a newer one, and a removal drops it, so a file removed after a save never comes back.
class RecoveryWriter {
 public:
  // `written` runs on the worker after each write with its duration in milliseconds and
  // whether it succeeded.
  using WrittenCallback = std::function<void(std::uint64_t milliseconds, bool ok)>;

  explicit RecoveryWriter(WrittenCallback written);
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;
  // Finishes the job in hand and stops; jobs still waiting are dropped.
  ~RecoveryWriter();

  // The text is shared, never copied: the interface thread's snapshot is immutable.
  void write(std::u16string path, RecoveryHeader header, std::shared_ptr<const std::u16string> text);
  void remove(std::u16string path);
  // Waits until every job given so far is done.
  void wait_until_idle();

 private:
  struct Job {
    bool remove = false;
    std::u16string path;
    RecoveryHeader header;
    std::shared_ptr<const std::u16string> text;
  };

  void run();

  WrittenCallback written_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Job> pending_write_;
  std::optional<Job> pending_removal_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace wrenfold
