#include "push_feeder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>

namespace play {

void PushFeeder::start() {
  stopping_.store(false);
  thread_ = std::thread([this] { feed(); });
}

void PushFeeder::stop() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
}

void PushFeeder::feed() {
  double shortest = 1000;
  for (const Stream& stream : *streams_) shortest = std::min(shortest, stream.feed->period());
  while (!stopping_.load()) {
    // A seek holds this while it flushes the ports and starts the feeds over.
    std::unique_lock<std::mutex> feeding(control_->feeding());
    const bool backwards = control_->backwards();
    int64_t now = clock_->currentTime();
    for (Stream& stream : *streams_) {
      double ahead = kAheadFrames * stream.feed->period();
      int32_t start = 0;
      uint32_t duration = 0;
      while (stream.feed->nextTiming(&start, &duration)) {
        bool due = backwards ? start + static_cast<int64_t>(duration) >= now - ahead : start <= now + ahead;
        if (!due) break;
        KMC::PropertyValue value = KMC::PropertyValue::ofPointer(KMC::kPropertyObject, stream.feed->take());
        // The frame belongs to the channel from here on, whatever the answer.
        stream.port->setPortValue(KMC::kValueDeliverFrame, &value);
        stream.delivered->fetch_add(1);
      }
    }
    feeding.unlock();
    // A quarter period keeps the queue topped up; the clock's rate stretches media time.
    double wait = shortest / 4 * 1000.0 / std::abs(control_->rate());
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(std::clamp(wait, 1.0, 10.0) * 1000)));
  }
}

}  // namespace play
