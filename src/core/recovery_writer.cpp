#include "recovery_writer.h"

#include <algorithm>
#include <chrono>

#include "file_write.h"
#include "platform.h"

namespace wrenfold {
namespace {

std::u16string_view parent_folder(std::u16string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !platform::is_path_separator(path[end - 1])) --end;
  return path.substr(0, end > 0 ? end - 1 : 0);
}

}  // namespace

std::uint64_t recovery_write_due_ms(const RecoveryTiming& timing) {
  const std::uint64_t wanted = std::min(timing.last_change_ms + kRecoveryQuietMs,
                                        timing.first_unwritten_change_ms + kRecoveryLongestWaitMs);
  if (!timing.last_write_end_ms) return wanted;
  return std::max(wanted, *timing.last_write_end_ms + kRecoveryIdleFactor * timing.last_write_cost_ms);
}

RecoveryWriter::RecoveryWriter(WrittenCallback written)
    : written_(std::move(written)), worker_([this] { run(); }) {}

RecoveryWriter::~RecoveryWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    pending_write_.reset();
    pending_removal_.reset();
  }
  changed_.notify_all();
  worker_.join();
}

void RecoveryWriter::write(std::u16string path, RecoveryHeader header, std::shared_ptr<const std::u16string> text) {
  {
    const std::lock_guard lock(mutex_);
    pending_write_ = Job{false, std::move(path), std::move(header), std::move(text)};
  }
  changed_.notify_all();
}

void RecoveryWriter::remove(std::u16string path) {
  {
    const std::lock_guard lock(mutex_);
    pending_write_.reset();
    pending_removal_ = Job{true, std::move(path), {}, nullptr};
  }
  changed_.notify_all();
}

void RecoveryWriter::wait_until_idle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_ && !pending_write_ && !pending_removal_; });
}

void RecoveryWriter::run() {
  // Typing comes first; the file only has to be there a moment later.
  platform::lower_current_thread_priority();
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || pending_write_ || pending_removal_; });
    if (stopping_) return;
    // A removal was asked for after any write still waiting (remove drops it), so it goes first;
    // a write asked for after the removal then makes a new file.
    Job job = pending_removal_ ? std::move(*pending_removal_) : std::move(*pending_write_);
    if (job.remove) {
      pending_removal_.reset();
    } else {
      pending_write_.reset();
    }
    busy_ = true;
    lock.unlock();

    if (job.remove) {
      platform::delete_file(job.path);
    } else {
      const auto started = std::chrono::steady_clock::now();
      RecoveryFileSource bytes(job.header, *job.text);
      // The folder may have been removed since the last write; the writer reports the rest.
      platform::create_folders(parent_folder(job.path));
      const bool ok = write_file_atomically(job.path, bytes).ok();
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
      if (written_) written_(static_cast<std::uint64_t>(took.count()), ok);
    }

    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace wrenfold
