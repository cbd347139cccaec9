#include "console/console_front.h"

#include <cctype>
#include <istream>
#include <ostream>
#include <string>

#include "installer/install_engine.h"
#include "platform/hooks.h"

namespace {

// State of the message-box hook while ConsoleMain runs.
std::ostream* g_out = nullptr;
std::istream* g_in = nullptr;
int g_answer = 0;  // 0: ask on the input

void WriteLines(const char* text) {
  std::string s = text ? text : "";
  size_t start = 0;
  for (;;) {
    size_t nl = s.find('\n', start);
    std::string line =
        s.substr(start, nl == std::string::npos ? nl : nl - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
      line.pop_back();
    *g_out << line << '\n';
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
}

int ConsoleBox(const char* caption, const char* text, unsigned style) {
  (void)caption;
  WriteLines(text);
  if ((style & 0xF) != platform::kMbYesNoCancel) {
    g_out->flush();
    return (style & 0xF) == platform::kMbYesNo ? platform::kIdYes
                                               : platform::kIdOk;
  }
  int answer = g_answer;
  if (answer == 0) {
    *g_out << "Yes, No or Cancel? " << std::flush;
    std::string reply;
    answer = platform::kIdCancel;  // the end of input never deletes data
    if (g_in && std::getline(*g_in, reply)) {
      for (char& c : reply)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      while (!reply.empty() &&
             std::isspace(static_cast<unsigned char>(reply.back())))
        reply.pop_back();
      if (reply == "y" || reply == "yes") answer = platform::kIdYes;
      if (reply == "n" || reply == "no") answer = platform::kIdNo;
    }
    *g_out << '\n';
  }
  *g_out << (answer == platform::kIdYes  ? "Answer: Yes"
             : answer == platform::kIdNo ? "Answer: No"
                                         : "Answer: Cancel")
         << std::endl;
  return answer;
}

int Usage(std::ostream& err, int status = 2) {
  err << "usage: KalvoINSTALL --console [--package DIR] [--answer "
         "yes|no|cancel]\n";
  return status;
}

}  // namespace

int ConsoleMain(int argc, const char* const* argv, std::ostream& out,
                std::ostream& err, std::istream& in) {
  bool console = false;
  InstallContext ctx;
  int answer = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") return Usage(out, 0);
    if (a == "--console") {
      console = true;
    } else if (a == "--package" && i + 1 < argc) {
      ctx.package_dir = argv[++i];
    } else if (a == "--answer" && i + 1 < argc) {
      std::string v = argv[++i];
      if (v == "yes")
        answer = platform::kIdYes;
      else if (v == "no")
        answer = platform::kIdNo;
      else if (v == "cancel")
        answer = platform::kIdCancel;
      else
        return Usage(err);
    } else {
      return Usage(err);
    }
  }
  if (!console) {
    err << "KalvoINSTALL: this build has no wizard; run it with --console\n";
    return Usage(err);
  }
  ctx.unattended = 1;
  ctx.output = [&out](const std::string& line) { out << line << std::endl; };
  g_out = &out;
  g_in = &in;
  g_answer = answer;
  platform::MessageBoxHook old = platform::SetMessageBoxHook(&ConsoleBox);
  int status = RunInstallation(ctx);
  platform::SetMessageBoxHook(old);
  g_out = nullptr;
  g_in = nullptr;
  return status;
}
