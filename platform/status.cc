// Status: an errno value with the operation's text.

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/env.h"

namespace platform {

Status Status::Error(int code, std::string msg) {
  Status s;
  // An error always carries a non-zero code, so ok() can never be true for
  // something reported as a failure.
  s.code_ = code != 0 ? code : EIO;
  s.msg_ = std::move(msg);
  return s;
}

std::string Status::ToString() const {
  if (ok()) return "OK";
  std::string out = msg_;
  if (!out.empty()) out += ": ";
  out += std::strerror(code_);
  return out;
}

}  // namespace platform
