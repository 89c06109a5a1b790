#include "threading/c_time.h"

#include "platform/win32.h"

namespace KMC {

CTime::CTime() : state_(kStopped), offset_(0), pausedTotal_(0) {
  (void)timeBeginPeriod(1);  // a coarser timer only makes readings coarser
  baseTime_ = markTime_ = now();
}

CTime::~CTime() {
  (void)timeEndPeriod(1);  // ends this instance's request; nothing to do on refusal
  baseTime_ = markTime_ = 0;
  state_ = kStopped;
}

int64_t CTime::now() { return static_cast<int64_t>(static_cast<uint32_t>(timeGetTime())); }

int64_t CTime::interval(int64_t earlier, int64_t later) {
  return static_cast<int64_t>(static_cast<uint32_t>(later - earlier));
}

bool CTime::start() {
  if (state_ == kStopped) {
    pausedTotal_ += interval(markTime_, now());
    markTime_ = baseTime_;
    state_ = kRunning;
  }
  return true;
}

int64_t CTime::elapsed() const {
  if (state_ == kStopped) return offset_ - pausedTotal_ + interval(baseTime_, markTime_);
  return offset_ - pausedTotal_ + interval(baseTime_, now());
}

void CTime::reset(int64_t value) {
  baseTime_ = markTime_ = now();
  pausedTotal_ = 0;
  offset_ = value;
}

}  // namespace KMC
