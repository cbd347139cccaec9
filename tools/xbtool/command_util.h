// Small pieces every xbtool command uses: the engine's last failure as one
// line, the one-line failure report, and OEM text for the terminal.

#ifndef TOOLS_XBTOOL_COMMAND_UTIL_H_
#define TOOLS_XBTOOL_COMMAND_UTIL_H_

#include <ostream>
#include <string>

#include "platform/codepage.h"
#include "xbase32/wdbase.h"

namespace xbtool {

// "code text detail..." of the engine's last failure.
inline std::string EngineError() {
  std::string s =
      std::to_string(Wdbase::LastErrorCode()) + " " + Wdbase::LastErrorText();
  for (int i = 0; i < 3; ++i) {
    const char* d = Wdbase::LastErrorDetail(i);
    if (*d) s += std::string(" ") + d;
  }
  return s;
}

// Writes "xbtool: what" and answers the failure exit code.
inline int Fail(std::ostream& err, const std::string& what) {
  err << "xbtool: " << what << "\n";
  return 1;
}

// Table text (OEM code page) as UTF-8 for the terminal.
inline std::string Utf8(const std::string& oem) {
  return platform::CodePageToUtf8(oem, 0);
}

}  // namespace xbtool

#endif  // TOOLS_XBTOOL_COMMAND_UTIL_H_
