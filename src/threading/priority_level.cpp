#include "threading/priority_level.h"

#include "platform/win32.h"

namespace KMC {

namespace {

const int kLevelPriorities[] = {
    THREAD_PRIORITY_LOWEST,        // 0
    THREAD_PRIORITY_BELOW_NORMAL,  // 1
    THREAD_PRIORITY_NORMAL,        // 2
    THREAD_PRIORITY_HIGHEST,       // 3
    THREAD_PRIORITY_TIME_CRITICAL  // 4
};
const int kLevelCount = sizeof(kLevelPriorities) / sizeof(kLevelPriorities[0]);
const int kNormalLevel = 2;

int levelOf(int priority) {
  for (int level = 0; level < kLevelCount; ++level) {
    if (level != kNormalLevel && kLevelPriorities[level] == priority) return level;
  }
  return kNormalLevel;
}

}  // namespace

bool setPriorityLevel(int level, int* previousLevel, void* thread) {
  HANDLE handle = thread ? static_cast<HANDLE>(thread) : GetCurrentThread();
  if (previousLevel) *previousLevel = levelOf(GetThreadPriority(handle));
  if (level < 0 || level >= kLevelCount) return false;
  return SetThreadPriority(handle, kLevelPriorities[level]) != FALSE;
}

}  // namespace KMC
