// A point in time that a bounded wait must not pass.
#pragma once

#include <chrono>

namespace kestrova::testsupport {

class Deadline {
 public:
  explicit Deadline(int ms) : at_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
  // Milliseconds until the deadline; 0 once it has passed.
  int left_ms() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - std::chrono::steady_clock::now()).count();
    return left > 0 ? int(left) : 0;
  }
  bool passed() const { return std::chrono::steady_clock::now() >= at_; }

 private:
  std::chrono::steady_clock::time_point at_;
};

}  // namespace kestrova::testsupport
