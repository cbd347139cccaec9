// The mixtool program itself on the test builder's sample data set: what it
// prints for frm, mask, colorkeys and cans, and how it refuses bad input
// (one line "mixtool: ..." on standard error; 1 for a failed command, 2 for
// a command line it cannot parse).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

#ifndef MIXTOOL_PATH
#error "MIXTOOL_PATH names the built mixtool program"
#endif

namespace {

struct Outcome {
  int status = -1;  // exit status; -1 when the program did not end normally
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

class MixtoolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(drives_.dir().empty());
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
  }

  // Runs mixtool with args (the drives root of this test is inherited
  // through $KALVO_DRIVES) and collects its output.
  Outcome Mixtool(const std::vector<std::string>& args) {
    const std::string out = drives_.Host("out.txt");
    const std::string err = drives_.Host("err.txt");
    Outcome r;
    const pid_t pid = fork();
    if (pid < 0) return r;
    if (pid == 0) {
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(MIXTOOL_PATH));
      for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(MIXTOOL_PATH, argv.data());
      _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return r;
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
  }

  // A refusal: nothing on standard output, one line "mixtool: ..." that
  // contains what on standard error, and the exit status.
  void ExpectRefused(const std::vector<std::string>& args, int status,
                     const std::string& what) {
    const Outcome r = Mixtool(args);
    SCOPED_TRACE(args.empty() ? std::string("(no arguments)") : args[0]);
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("mixtool: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(what), std::string::npos) << lines[0];
  }

  platform::ScopedTempDrives drives_;
};

TEST_F(MixtoolProcessTest, FrmByWindowsAndHostPath) {
  for (const std::string& dir :
       {std::string("c:\\gdata\\"), drives_.drives() + "/c/gdata"}) {
    const Outcome r = Mixtool({"frm", dir, "1", "1", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0].rfind("table    ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "stored   1 10.0");
    EXPECT_EQ(lines[2], "read     1,10  (after the ruler)");
    EXPECT_EQ(lines[3].rfind("units    ", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4].rfind("can      by ", 0), 0u) << lines[4];
  }
}

TEST_F(MixtoolProcessTest, Mask) {
  Outcome r = Mixtool({"mask", "c:\\gdata\\", "1", "1", "BA"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  r = Mixtool({"mask", "c:\\gdata\\", "2", "1", "co"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1 2 3\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(MixtoolProcessTest, ColorKeysAndCans) {
  Outcome r = Mixtool({"colorkeys", "c:\\gdata\\"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines[0], "COLORKEY 5 records");
  EXPECT_EQ(lines[1].rfind("CLRPRDS ", 0), 0u) << lines[1];
  r = Mixtool({"cans", "c:\\gdata\\"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  lines = Lines(r.out);
  ASSERT_GE(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[0].rfind("can 1 size 0 exact 0 by volume", 0), 0u)
      << lines[0];
  EXPECT_EQ(lines[lines.size() - 3], "single product 0");
  EXPECT_EQ(lines[lines.size() - 2].rfind("units ", 0), 0u);
  EXPECT_EQ(lines.back(), "html C:\\HTMLDATA\\ (default)");
}

TEST_F(MixtoolProcessTest, BadInputGivesOneLineAndTheExitStatus) {
  // Failed commands: 1.
  ExpectRefused({"frm", "c:\\nowhere\\", "1", "1", "20"}, 1, "no product 1");
  ExpectRefused({"frm", "c:\\gdata\\", "1", "1", "99"}, 1, "no formula 99");
  ExpectRefused({"frm", "c:\\gdata\\", "1", "9", "20"}, 1, "no sub-product 9");
  ExpectRefused({"mask", "c:\\gdata\\", "1", "1", "XX"}, 1,
                "unknown mask type \"XX\"");
  ExpectRefused({"mask", "c:\\gdata\\", "1", "1", "B"}, 1, "unknown mask type");
  ExpectRefused({"mask", "c:\\gdata\\", "7", "1", "BA"}, 1, "no product 7");
  ExpectRefused({"cans", "c:\\nowhere\\"}, 1, "no CANS");
  ExpectRefused({"colorkeys", "c:\\nowhere\\"}, 1, "cannot be rebuilt");
  // Command lines that do not parse: 2.
  ExpectRefused({"frm", "c:\\gdata\\", "1", "1", "abc"}, 2, "abc");
  ExpectRefused({"frm", "c:\\gdata\\", "1", "1", "99999999999"}, 2,
                "99999999999");
  ExpectRefused({"mask", "c:\\gdata\\", "1", "1"}, 2, "type");
  ExpectRefused({"nosuch"}, 2, "subcommand");
  ExpectRefused({}, 2, "subcommand");
}

}  // namespace
