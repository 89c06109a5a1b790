#include "threading/event.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/locks.hpp>
#include <boost/thread/recursive_mutex.hpp>

namespace KMC {

struct Event::Impl {
  boost::recursive_mutex mutex;
  boost::condition_variable_any signal;
  bool signalled = false;  // guarded by mutex
  bool manualReset = false;
};

Event::Event(int manualReset) : impl_(new Impl), manualReset_(manualReset) {
  impl_->manualReset = manualReset != 0;
}

Event::~Event() = default;

void Event::set() {
  {
    boost::unique_lock<boost::recursive_mutex> lock(impl_->mutex);
    impl_->signalled = true;
  }
  impl_->signal.notify_all();
}

void Event::wait() {
  boost::unique_lock<boost::recursive_mutex> lock(impl_->mutex);
  while (!impl_->signalled) impl_->signal.wait(lock);
  if (!impl_->manualReset) impl_->signalled = false;
}

}  // namespace KMC
