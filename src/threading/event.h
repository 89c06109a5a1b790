// A manual- or auto-reset event: set from any thread, waited on by any thread.
//
// Over a bare condition variable it adds the remembered signal: a set that happens before the
// wait is not lost. An auto-reset event lets one wait through per set (sets that come before
// any wait do not add up); a manual-reset event, once set, lets every later wait through.
// There is no timed wait and no reset operation.
#pragma once

#include <cstdint>
#include <memory>

namespace KMC {

class Event {
 public:
  // manualReset: 0 = auto reset, any other value = manual reset. Starts not signalled.
  // Throws boost::thread_resource_error when the system has no wait object left.
  explicit Event(int manualReset);
  virtual ~Event();

  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Marks the event signalled and wakes every waiting thread.
  void set();
  // Waits, without time-out, until the event is signalled; an auto-reset event is then
  // cleared again, so only one waiter returns per set.
  void wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int32_t manualReset_;
};

}  // namespace KMC
