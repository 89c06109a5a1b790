// Thread priority in five levels, over the operating system's thread priorities.
//
//   level 0 lowest (-2), 1 below normal (-1), 2 normal (0), 3 highest (2), 4 time critical (15)
#pragma once

namespace KMC {

// The levels by name.
const int kPriorityLowest = 0;
const int kPriorityBelowNormal = 1;
const int kPriorityNormal = 2;
const int kPriorityHighest = 3;
const int kPriorityTimeCritical = 4;

// Sets the priority of thread (a thread handle; null means the calling thread) to the given
// level. When previousLevel is given it first receives the thread's current level: -2 -> 0,
// -1 -> 1, 2 -> 3, 15 -> 4, and any other priority (normal, above normal, idle, ...) -> 2.
// Answers true when the operating system accepted the new priority; false when it refused
// or level is not 0 to 4 (the previous level is reported either way).
bool setPriorityLevel(int level, int* previousLevel = nullptr, void* thread = nullptr);

}  // namespace KMC
