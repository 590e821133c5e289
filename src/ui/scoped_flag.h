#pragma once

namespace wrenfold::ui {

// Sets a flag for as long as it lives, and clears it however the scope ends: a dialog that
// is open, a check that is running.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;
  ~ScopedFlag() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace wrenfold::ui
