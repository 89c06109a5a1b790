// Waiting for something another thread does.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Polls until condition holds. The limit only keeps a broken build from hanging the run; it
// says nothing about speed.
inline bool eventually(const std::function<bool()>& condition, int limitSeconds = 20) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return true;
}

}  // namespace testsupport
