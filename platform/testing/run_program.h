// Runs another program of the build (a tool the tests exercise as users
// do) with its standard output and error caught, the same way on every
// host: no shell, no fork.
//
// For the moment of the start, the test points its own standard output
// and error at temporary files (Env::StartProcess hands the child the
// standard handles) and then puts them back; the files are read once the
// program has ended. No other thread of the test may write to the
// standard streams meanwhile.

#ifndef PLATFORM_TESTING_RUN_PROGRAM_H_
#define PLATFORM_TESTING_RUN_PROGRAM_H_

#include <cstdint>
#include <string>
#include <vector>

namespace platform::testing {

struct ProgramResult {
  // The program's exit status; kChildNotRun (child_process.h) when it could
  // not be started or had not ended after the time allowed (it is killed).
  int status = -1;
  // What it wrote. The Windows C runtime writes "\r\n" for "\n" on a
  // standard stream in text mode: "\r\n" is turned back into "\n" here,
  // so both hosts compare the same text.
  std::string out, err;
};

// Host path of the file name beside the running test program (the tool
// programs land in the test's own directory on every host).
std::string BesideThisProgram(const std::string& file_name);

// Runs program (a host path) with args; the environment (KALVO_DRIVES of
// ScopedTempDrives among it) is inherited.
ProgramResult RunProgram(const std::string& program,
                         const std::vector<std::string>& args,
                         int64_t timeout_ms = 120000);

}  // namespace platform::testing

#endif  // PLATFORM_TESTING_RUN_PROGRAM_H_
