// An environment variable set for a while and restored afterwards.
#pragma once

#include <stdlib.h>

#include <string>

namespace testsupport {

// Sets (or with null unsets) an environment variable for the life of the guard, then gives it
// back the value it had, or removes it when it had none.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    set(name, value);
  }
  ~EnvironmentGuard() { set(name_.c_str(), hadOld_ ? old_.c_str() : nullptr); }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool hadOld_;

  static void set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
#endif
  }
};

}  // namespace testsupport
