// The research trace: a plain-text file written through a buffer.

#include <cstdarg>
#include <cstdio>
#include <string>

#include "mixtable/wy_recycle_rule.h"
#include "platform/env.h"

namespace {

// The buffer is written out when it holds this much.
constexpr size_t kFlushAt = 64 * 1024;

}  // namespace

Wy_ResearchTrace::Wy_ResearchTrace() = default;
Wy_ResearchTrace::Wy_ResearchTrace(const Wy_ResearchTrace&) {}
Wy_ResearchTrace& Wy_ResearchTrace::operator=(const Wy_ResearchTrace& other) {
  if (this != &other) Close();
  return *this;
}
Wy_ResearchTrace::~Wy_ResearchTrace() { Close(); }

bool Wy_ResearchTrace::Open(const std::string& path) {
  Close();
  if (path.empty()) return false;
  std::unique_ptr<platform::File> f;
  if (!platform::Env::Current()
           ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
           .ok())
    return false;
  file_ = std::move(f);
  offset_ = 0;
  buffer_.clear();
  return true;
}

void Wy_ResearchTrace::Flush() {
  if (file_ == nullptr || buffer_.empty()) return;
  if (!file_->WriteAt(offset_, buffer_.data(), buffer_.size()).ok()) {
    // A full disk or a lost file: the rest of the pass goes untraced.
    file_.reset();
    buffer_.clear();
    return;
  }
  offset_ += buffer_.size();
  buffer_.clear();
}

void Wy_ResearchTrace::Close() {
  Flush();
  file_.reset();
  buffer_.clear();
  buffer_.shrink_to_fit();
}

void Wy_ResearchTrace::Write(const std::string& text) {
  if (file_ == nullptr) return;
  buffer_ += text;
  if (buffer_.size() >= kFlushAt) Flush();
}

void Wy_ResearchTrace::Printf(const char* format, ...) {
  if (file_ == nullptr) return;
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
    buffer_.append(small, static_cast<size_t>(n));
  } else if (n > 0) {
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    big.resize(static_cast<size_t>(n));
    buffer_ += big;
  }
  va_end(again);
  if (buffer_.size() >= kFlushAt) Flush();
}

void Wy_ResearchTrace::Value(const char* message, double value) {
  Printf("%s %f \n", message, value);
}
