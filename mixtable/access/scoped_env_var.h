// Test support: sets (or unsets) an environment variable through the Env
// for one scope and restores its old state afterwards.

#ifndef MIXTABLE_ACCESS_SCOPED_ENV_VAR_H_
#define MIXTABLE_ACCESS_SCOPED_ENV_VAR_H_

#include <string>

#include "platform/env.h"

namespace mixtable {

class ScopedEnvVar {
 public:
  // Sets name to value.
  ScopedEnvVar(const std::string& name, const std::string& value)
      : name_(name) {
    Save();
    platform::Env::Current()->SetEnv(name, value);
  }
  // Unsets name.
  explicit ScopedEnvVar(const std::string& name) : name_(name) {
    Save();
    platform::Env::Current()->UnsetEnv(name);
  }
  ~ScopedEnvVar() {
    if (had_) {
      platform::Env::Current()->SetEnv(name_, old_);
    } else {
      platform::Env::Current()->UnsetEnv(name_);
    }
  }
  ScopedEnvVar(const ScopedEnvVar&) = delete;
  ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

 private:
  void Save() { had_ = platform::Env::Current()->GetEnv(name_, &old_); }

  std::string name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_SCOPED_ENV_VAR_H_
