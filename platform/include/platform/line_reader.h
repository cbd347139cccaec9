// Reads a text file line by line. Lines may end with LF or CRLF; the CR of a
// CRLF ending is stripped, as is a lone CR at the end of the file's last line.
// A final line without an ending is still returned.

#ifndef PLATFORM_LINE_READER_H_
#define PLATFORM_LINE_READER_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace platform {

class LineReader {
 public:
  LineReader();
  ~LineReader();

  // Opens path (mapped through Env::Current()) for reading.
  Status Open(const std::string& path);
  // Answers false at the end of the file or on a read error (see status()).
  bool ReadLine(std::string* line);
  const Status& status() const { return status_; }

 private:
  bool Fill();

  std::unique_ptr<File> file_;
  std::string buf_;
  size_t pos_ = 0;
  uint64_t offset_ = 0;
  bool eof_ = false;
  Status status_;
};

// Reads a whole text file into lines (CR stripped as above).
Status ReadLines(const std::string& path, std::vector<std::string>* lines);

}  // namespace platform

#endif  // PLATFORM_LINE_READER_H_
