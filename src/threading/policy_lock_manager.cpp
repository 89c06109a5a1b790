#include "threading/policy_lock_manager.h"

#include <algorithm>
#include <atomic>
#include <deque>

#include "threading/lock_guard.h"

namespace KMC {

// The calling thread's claim on one lock: which mutex, the mode its guards asked for, and
// whether the thread holds the mutex through this state (one recursion level at most).
struct PolicyLockManager::LockState {
  boost::recursive_mutex* mutex = nullptr;
  LockMode mode = LockMode::None;
  bool held = false;
  PolicyLockManager* manager = nullptr;
  Entry* entry = nullptr;
};

struct PolicyLockManager::Entry {
  LockId id = 0;
  LockState state;
  int32_t guards = 0;  // live guards on this lock in this thread
};

class PolicyLockManager::ThreadLockList {
 public:
  // Entries live in map nodes, so LockState* and Entry* stay valid while the entry exists.
  std::map<LockId, Entry> entries;
  std::deque<LockId> heldLocks;       // in the order taken; ascending by the ordering rule
  std::deque<LockId> suspendedLocks;  // let go to respect the order; highest id first
};

namespace {
// Process-wide, so ids ascend across managers in creation order. 32-bit and sign-extended,
// as the ids have always been; atomic so that locks may be created from several threads.
std::atomic<int32_t> g_lockCounter{0};
}  // namespace

PolicyLockManager::PolicyLockManager() = default;

PolicyLockManager::~PolicyLockManager() {
  {
    std::lock_guard<std::mutex> registryLock(registryMutex_);
    for (auto it = registry_.rbegin(); it != registry_.rend(); ++it) it->second.reset();
    registry_.clear();
  }
  threadLockLists_.reset();
}

LockId PolicyLockManager::createLock() {
  LockId id = static_cast<LockId>(g_lockCounter.fetch_add(1) + 1);
  auto mutex = std::make_unique<boost::recursive_mutex>();
  std::lock_guard<std::mutex> registryLock(registryMutex_);
  registry_[id] = std::move(mutex);
  return id;
}

bool PolicyLockManager::destroyLock(LockId id) {
  std::unique_ptr<boost::recursive_mutex> doomed;
  {
    std::lock_guard<std::mutex> registryLock(registryMutex_);
    auto it = registry_.find(id);
    if (it == registry_.end()) return false;
    doomed = std::move(it->second);
    registry_.erase(it);
  }
  return true;  // the mutex is deleted here, outside the registry lock
}

boost::recursive_mutex* PolicyLockManager::mutexFor(LockId id) const {
  std::lock_guard<std::mutex> registryLock(registryMutex_);
  auto it = registry_.find(id);
  return it == registry_.end() ? nullptr : it->second.get();
}

bool PolicyLockManager::acquire(LockGuard& guard, LockId id, LockMode mode) {
  guard.release();  // a guard carries one claim at a time
  ThreadLockList* list = threadLockLists_.get();
  auto found = list ? list->entries.find(id) : std::map<LockId, Entry>::iterator();
  if (!list || found == list->entries.end()) {
    // Only a new entry needs the registry; an unknown id is refused before anything changes.
    boost::recursive_mutex* mutex = mutexFor(id);
    if (!mutex) return false;
    if (!list) {
      list = new ThreadLockList;
      threadLockLists_.reset(list);
    }
    found = list->entries.emplace(id, Entry()).first;
    Entry& entry = found->second;
    entry.id = id;
    entry.state.mutex = mutex;
    entry.state.manager = this;
    entry.state.entry = &entry;
  }
  Entry& entry = found->second;
  guard.state_ = &entry.state;
  guard.previousMode_ = entry.state.mode;
  guard.manager_ = this;
  guard.entry_ = &entry;
  guard.released_ = false;
  ++entry.guards;
  setMode(*list, entry.state, mode);
  return true;
}

// Called by the guard's own thread, which therefore has a list holding the guard's entry.
void PolicyLockManager::release(LockGuard& guard) {
  ThreadLockList* list = threadLockLists_.get();
  if (!list) return;  // released on a thread that never claimed it: nothing of ours to undo
  LockState& state = *guard.state_;
  setMode(*list, state, guard.previousMode_);
  Entry& entry = *guard.entry_;
  if (--entry.guards > 0) return;
  if (state.held) giveUpLock(*list, state);
  list->entries.erase(entry.id);
  if (list->entries.empty()) threadLockLists_.reset();  // deletes list
}

// With list = the calling thread's list.
void PolicyLockManager::setMode(ThreadLockList& list, LockState& state, LockMode mode) {
  state.mode = mode;
  if (mode == LockMode::Locked && !state.held) {
    takeLock(list, state);
  } else if (mode == LockMode::Unlocked && state.held) {
    giveUpLock(list, state);
  }
  // None leaves the mutex exactly as it is.
}

// With list = the calling thread's list; state not held.
void PolicyLockManager::takeLock(ThreadLockList& list, LockState& state) {
  LockId id = state.entry->id;
  suspendHigherLocks(list, id);
  try {
    state.mutex->lock();
  } catch (...) {
    resumeSuspendedLocks(list);  // leave the thread as it was before asking
    throw;
  }
  state.held = true;
  list.heldLocks.push_back(id);
  resumeSuspendedLocks(list);
}

// With list = the calling thread's list; state held.
void PolicyLockManager::giveUpLock(ThreadLockList& list, LockState& state) {
  LockId id = state.entry->id;
  suspendHigherLocks(list, id);
  state.held = false;
  state.mutex->unlock();
  // After the suspension the id is the last one held; search anyway so that a broken
  // invariant can never pop another lock's id.
  auto it = std::find(list.heldLocks.rbegin(), list.heldLocks.rend(), id);
  if (it != list.heldLocks.rend()) list.heldLocks.erase(std::next(it).base());
  resumeSuspendedLocks(list);
}

// With list = the calling thread's list. Lets go every held lock above id, highest first.
void PolicyLockManager::suspendHigherLocks(ThreadLockList& list, LockId id) {
  if (!list.heldLocks.empty() && list.heldLocks.back() > id) reorderedRequests_.fetch_add(1);
  while (!list.heldLocks.empty() && list.heldLocks.back() > id) {
    LockId higher = list.heldLocks.back();
    list.suspendedLocks.push_back(higher);
    list.entries.at(higher).state.mutex->unlock();
    list.heldLocks.pop_back();
  }
}

// With list = the calling thread's list. Takes the suspended locks back, lowest first (they
// were suspended highest first), waiting for each as long as another thread owns it.
void PolicyLockManager::resumeSuspendedLocks(ThreadLockList& list) {
  while (!list.suspendedLocks.empty()) {
    LockId id = list.suspendedLocks.back();
    list.entries.at(id).state.mutex->lock();
    list.heldLocks.push_back(id);
    list.suspendedLocks.pop_back();
  }
}

bool PolicyLockManager::holds(LockId id) const {
  const ThreadLockList* list = threadLockLists_.get();
  if (!list) return false;
  auto it = list->entries.find(id);
  return it != list->entries.end() && it->second.state.held;
}

LockMode PolicyLockManager::mode(LockId id) const {
  const ThreadLockList* list = threadLockLists_.get();
  if (!list) return LockMode::None;
  auto it = list->entries.find(id);
  return it == list->entries.end() ? LockMode::None : it->second.state.mode;
}

std::vector<LockId> PolicyLockManager::heldLocks() const {
  const ThreadLockList* list = threadLockLists_.get();
  if (!list) return {};
  return std::vector<LockId>(list->heldLocks.begin(), list->heldLocks.end());
}

std::vector<LockId> PolicyLockManager::suspendedLocks() const {
  const ThreadLockList* list = threadLockLists_.get();
  if (!list) return {};
  return std::vector<LockId>(list->suspendedLocks.begin(), list->suspendedLocks.end());
}

bool PolicyLockManager::hasThreadLockList() const { return threadLockLists_.get() != nullptr; }

}  // namespace KMC
