#include "engine_error.h"

#include <cstdio>
#include <string>

#include "engine.h"
#include "platform/hooks.h"

namespace xbase32 {
namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr CodeText kTexts[] = {
    {-10, "Closing File"},
    {-20, "Creating File"},
    {-30, "Determining File Length"},
    {-40, "Setting File Length"},
    {-50, "Locking File"},
    {-60, "Opening File"},
    {-70, "Reading File"},
    {-80, "Removing File"},
    {-90, "Renaming File"},
    {-100, "Seeking to File Position"},
    {-110, "Unlocking File"},
    {-120, "Writing to File"},
    {-200, "File is not a Data File"},
    {-210, "Unrecognized Field Name"},
    {-220, "Unrecognized Field Type"},
    {-230, "Record Length is too Large"},
    {-300, "Tag Entry Missing"},
    {-310, "Not a Correct Index File"},
    {-330, "Tag Name not Found"},
    {-340, "Unique Key Error"},
    {-400, "Comma or Bracket Expected"},
    {-410, "Expression not Complete"},
    {-420, "Data File Name not Located"},
    {-422, "IIF() Needs Parameters of Same Length"},
    {-425, "SUBSTR() and STR() need Constant Parameters"},
    {-430, "Number of Parameters is Wrong"},
    {-440, "Overflow while Evaluating Expression"},
    {-450, "Right Bracket Missing"},
    {-460, "Sub-expression Type is Wrong"},
    {-470, "Unrecognized Function"},
    {-480, "Unrecognized Operator"},
    {-490, "Unrecognized Value"},
    {-500, "Unterminated String"},
    {-610, "Optimization Error"},
    {-620, "Optimization Removal Failure"},
    {-630, "Optimization File Flushing Failure"},
    {-710, "Matching Slave Record Not Located"},
    {-720, "Relation Error"},
    {-810, "Report Error"},
    {-811, "Error Creating Style"},
    {-812, "Error Selecting Style"},
    {-813, "Error Finding Style"},
    {-814, "Error Creating Area"},
    {-815, "Error Creating Group"},
    {-816, "Error Setting Group Reset-Expression"},
    {-817, "Error Creating Total"},
    {-818, "Error Creating Object"},
    {-819, "Error In Windows Output"},
    {-820, "Error In Report Output"},
    {-821, "Error Saving Report"},
    {-822, "Error Retrieving Report"},
    {-823, "Error In Sending Report to Data File"},
    {-910, "Unexpected Information"},
    {-920, "Out of Memory"},
    {-930, "Unexpected Parameter"},
    {-950, "Unexpected Result"},
};

int g_pending = 0;
int g_last = 0;
std::string g_details[3];

}  // namespace

const char* ErrorText(int code) {
  for (const CodeText& t : kTexts) {
    if (t.code == code) return t.text;
  }
  return "";
}

void ClearError() { g_pending = 0; }
int PendingError() { return g_pending; }
int LastError() { return g_last; }

const char* LastErrorDetail(int i) {
  if (i < 0 || i > 2) return "";
  return g_details[i].c_str();
}

int ReportError(int code, const char* d1, const char* d2, const char* d3) {
  if (code != 0) {
    g_pending = code;
    g_last = code;
    g_details[0] = d1 ? d1 : "";
    g_details[1] = d2 ? d2 : "";
    g_details[2] = d3 ? d3 : "";
  }
  const int level = Config().debug_level;
  if (level == 1 || level == 2) {
    // Caption: 15 blanks, the words, 15 blanks ("%15c Wdbase error %15c"
    // with blanks).
    const std::string blanks(15, ' ');
    const std::string caption = blanks + " Wdbase error " + blanks;
    char text[4096];
    std::snprintf(text, sizeof text, "error %d : %s\n%s\n%s\n%s\n", code,
                  ErrorText(code), d1 ? d1 : "", d2 ? d2 : "", d3 ? d3 : "");
    platform::ShowMessageBox(caption.c_str(), text, platform::kMbOk);
  }
  return code;
}

}  // namespace xbase32
