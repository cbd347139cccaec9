#include "platform/line_reader.h"

namespace platform {

namespace {
constexpr size_t kChunk = 64 * 1024;
}  // namespace

LineReader::LineReader() = default;
LineReader::~LineReader() = default;

Status LineReader::Open(const std::string& path) {
  file_.reset();
  buf_.clear();
  pos_ = 0;
  offset_ = 0;
  eof_ = false;
  status_ = Env::Current()->OpenFile(path, OpenMode::kReadOnly, &file_);
  if (!status_.ok()) eof_ = true;
  return status_;
}

bool LineReader::Fill() {
  if (eof_ || !file_) return false;
  buf_.erase(0, pos_);
  pos_ = 0;
  size_t old = buf_.size();
  buf_.resize(old + kChunk);
  size_t got = 0;
  Status s = file_->ReadAt(offset_, buf_.data() + old, kChunk, &got);
  buf_.resize(old + got);
  offset_ += got;
  if (!s.ok()) {
    status_ = s;
    eof_ = true;
    return false;
  }
  if (got == 0) eof_ = true;
  return got > 0;
}

bool LineReader::ReadLine(std::string* line) {
  line->clear();
  for (;;) {
    size_t nl = buf_.find('\n', pos_);
    if (nl != std::string::npos) {
      size_t end = nl;
      if (end > pos_ && buf_[end - 1] == '\r') end--;
      line->assign(buf_, pos_, end - pos_);
      pos_ = nl + 1;
      return true;
    }
    if (!Fill()) break;
  }
  if (!status_.ok() || pos_ >= buf_.size()) return false;
  // The last line has no ending; a lone CR at its end is dropped too.
  size_t end = buf_.size();
  if (buf_[end - 1] == '\r') end--;
  line->assign(buf_, pos_, end - pos_);
  pos_ = buf_.size();
  return true;
}

Status ReadLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  LineReader reader;
  Status s = reader.Open(path);
  if (!s.ok()) return s;
  std::string line;
  while (reader.ReadLine(&line)) lines->push_back(line);
  return reader.status();
}

}  // namespace platform
