#include "memo_file.h"

#include <cctype>

#include "dbf_format.h"
#include "engine_error.h"

namespace xbase32 {

std::string MemoPathFor(const std::string& data_path) {
  const size_t slash = data_path.find_last_of("\\/");
  const size_t dot = data_path.rfind('.');
  const bool has_ext =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!has_ext) return data_path + ".dbt";
  bool upper = false;
  for (size_t i = dot + 1; i < data_path.size(); ++i) {
    if (std::isupper(static_cast<unsigned char>(data_path[i]))) upper = true;
  }
  return data_path.substr(0, dot) + (upper ? ".DBT" : ".dbt");
}

bool CreateMemoFile(const std::string& path) {
  std::unique_ptr<platform::File> file;
  platform::Status s = platform::Env::Current()->OpenFile(
      path, platform::OpenMode::kCreateAlways, &file);
  if (s.ok()) {
    uint8_t header[4];
    dbf::Put32(header, 1);
    s = file->WriteAt(0, header, sizeof header);
  }
  if (!s.ok()) {
    ReportError(kErrCreate, "File Name:", path.c_str(), s.ToString().c_str());
    return false;
  }
  return true;
}

bool OpenMemoFile(const std::string& path,
                  std::unique_ptr<platform::File>* file) {
  platform::Status s = platform::Env::Current()->OpenFile(
      path, platform::OpenMode::kReadWrite, file);
  if (!s.ok()) {
    ReportError(kErrOpen, "File Name:", path.c_str());
    return false;
  }
  return true;
}

}  // namespace xbase32
