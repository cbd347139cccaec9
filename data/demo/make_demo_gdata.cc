// make_demo_gdata: writes the demo formula data set into a directory (see
// demo_data_set.h). The build runs it and packs its output with
// "mixtool package".
//
//   make_demo_gdata OUT_DIR
//
// OUT_DIR (a host path or a Windows-style one) must not hold a data set yet.
// Exit status 0 on success; otherwise one line "make_demo_gdata: ..." on
// standard error.

#include <cstdio>
#include <string>

#include "demo_data_set.h"
#include "platform/env.h"
#include "platform/hooks.h"

namespace {

// One dot per finished step on standard error.
void ShowProgress(const void*, unsigned msg, int64_t param, const char*) {
  if (msg == platform::kProgressOverall && param > 0) std::fputc('.', stderr);
  if (msg == platform::kProgressText && param == platform::kProgressReset)
    std::fputc('\n', stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]).empty() || argv[1][0] == '-') {
    std::fprintf(stderr,
                 "usage: make_demo_gdata OUT_DIR\n"
                 "Writes the demo formula data set into OUT_DIR.\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  platform::SetProgressHook(ShowProgress);
  platform::Env* env = platform::Env::Current();
  const uint64_t start = env->NowMicros();
  std::string error;
  if (!kalvo_demo::BuildDemoDataSet(argv[1], &error)) {
    std::fprintf(stderr, "make_demo_gdata: %s\n", error.c_str());
    return 1;
  }
  std::printf("demo data set written to %s in %.2f s\n", argv[1],
              static_cast<double>(env->NowMicros() - start) / 1e6);
  return 0;
}
