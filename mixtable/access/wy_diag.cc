// Error display and diagnostic trace output.

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "access/error_text.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace mixtable {

bool ErrorText(int code, std::string* text) {
  text->clear();
  if (code == 0) {
    *text = "Success";
    return true;
  }
#if defined(_WIN32)
  // The C runtime's strerror names an unknown code "Unknown error".
  const char* desc = strerror(code);
  if (desc == nullptr || strncmp(desc, "Unknown error", 13) == 0) return false;
#else
  // strerrordesc_np answers null for an unknown code, where strerror would
  // make up "Unknown error N".
  const char* desc = strerrordesc_np(code);
  if (desc == nullptr) return false;
#endif
  *text = desc;
  while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) {
    text->pop_back();
  }
  return true;
}

std::string ProgramName() {
  std::string path = platform::Env::Current()->ProgramPath();
  size_t sep = path.find_last_of("\\/");
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  // The name without Windows' ".exe", so both hosts show the same caption.
  if (name.size() > 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".exe") name.resize(name.size() - 4);
  }
  return name;
}

}  // namespace mixtable

void Wy_GetLastErrorMessage(bool only_on_error) {
  int code = errno;
  if (only_on_error && code == 0) return;
  std::string text;
  if (!mixtable::ErrorText(code, &text)) {
    text = "Unknown error " + std::to_string(code) + ".";
  }
  std::string caption = mixtable::ProgramName();
  platform::ShowMessageBox(caption.c_str(), text.c_str(),
                           platform::kMbOk | platform::kMbIconInformation);
  errno = code;
}

void Wy_TraceV(const char* format, va_list args) {
  if (format == nullptr) return;
  char text[kWyTraceMax];
  int n = std::vsnprintf(text, sizeof(text), format, args);
  if (n < 0) return;  // an encoding error leaves nothing worth showing
  platform::Trace(kWyTraceCategory, text);
}

void Wy_Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Wy_TraceV(format, args);
  va_end(args);
}
