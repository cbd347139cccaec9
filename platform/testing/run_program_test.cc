#include "platform/testing/run_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/testing/child_process.h"

namespace platform::testing {
namespace {

// Writes args[0] lines "out N" on standard output, one line "err" on
// standard error, and exits with 3.
KALVO_CHILD_MAIN(print_out_and_err)(const std::vector<std::string>& args) {
  const int lines = args.empty() ? 0 : std::stoi(args[0]);
  for (int i = 0; i < lines; ++i) std::printf("out %d\n", i);
  std::fprintf(stderr, "err\n");
  return 3;
}

TEST(RunProgramTest, OutputErrorAndStatusOfAnotherProgram) {
  const std::string self = Env::Default()->ProgramPath();
  ProgramResult r = RunProgram(self, {"--kalvo-child=print_out_and_err", "2"});
  EXPECT_EQ(3, r.status);
  EXPECT_EQ("out 0\nout 1\n", r.out);
  EXPECT_EQ("err\n", r.err);
  // Output files of one run do not leak into the next.
  r = RunProgram(self, {"--kalvo-child=print_out_and_err", "0"});
  EXPECT_EQ("", r.out);
  EXPECT_EQ("err\n", r.err);
}

TEST(RunProgramTest, MissingProgramIsNotRun) {
  const ProgramResult r = RunProgram(BesideThisProgram("no-such-program"), {});
  EXPECT_EQ(kChildNotRun, r.status);
  EXPECT_EQ("", r.out);
}

TEST(RunProgramTest, BesideThisProgramSharesTheDirectory) {
  const std::string self = Env::Default()->ProgramPath();
  const std::string beside = BesideThisProgram("x.exe");
  ASSERT_GT(beside.size(), 5u);
  EXPECT_EQ(self.substr(0, beside.size() - 5),
            beside.substr(0, beside.size() - 5));
}

}  // namespace
}  // namespace platform::testing
