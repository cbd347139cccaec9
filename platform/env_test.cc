// The Env of every host: status texts, the current Env, environment
// variables (also as getenv and children see them), the clock and the
// killed status. The host's own parts (temporary directory rules, paths,
// marking programs, error mapping) are in env_posix_test.cc and
// win32/env_win32_test.cc.

#include "platform/env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"

namespace platform {
namespace {

KALVO_CHILD_MAIN(env_kill)(const std::vector<std::string>&) {
  KillCurrentProcess();
}

// Exits 0 when variable args[0] has the value args[1].
KALVO_CHILD_MAIN(env_expect_var)(const std::vector<std::string>& args) {
  std::string v;
  if (args.size() != 2 || !Env::Default()->GetEnv(args[0], &v)) return 1;
  return v == args[1] ? 0 : 2;
}

TEST(StatusTest, CodesAndTexts) {
  Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_EQ(ok.ToString(), "OK");
  Status e = Status::Error(ENOENT, "open c:\\x.dbf");
  EXPECT_FALSE(e.ok());
  EXPECT_EQ(e.code(), ENOENT);
  EXPECT_EQ(e.message(), "open c:\\x.dbf");
  EXPECT_EQ(e.ToString(), "open c:\\x.dbf: No such file or directory");
  // An error is never mistaken for success, whatever code it was given.
  EXPECT_FALSE(Status::Error(0, "odd").ok());
}

TEST(EnvTest, CurrentCanBeReplacedAndRestored) {
  Env* def = Env::Default();
  EXPECT_EQ(Env::Current(), def);
  EnvWrapper wrapper(def);
  EXPECT_EQ(Env::SetCurrent(&wrapper), def);
  EXPECT_EQ(Env::Current(), &wrapper);
  EXPECT_EQ(Env::SetCurrent(nullptr), &wrapper);
  EXPECT_EQ(Env::Current(), def);
}

TEST(EnvTest, EnvironmentVariablesReachTheRuntimeAndChildren) {
  Env* env = Env::Default();
  ASSERT_TRUE(env->SetEnv("KALVO_TEST_VAR", "a=b c").ok());
  std::string v;
  ASSERT_TRUE(env->GetEnv("KALVO_TEST_VAR", &v));
  EXPECT_EQ(v, "a=b c");
  ASSERT_NE(getenv("KALVO_TEST_VAR"), nullptr);  // the C runtime's copy
  EXPECT_STREQ(getenv("KALVO_TEST_VAR"), "a=b c");
  EXPECT_EQ(testing::RunChild("env_expect_var", {"KALVO_TEST_VAR", "a=b c"}),
            0);
  std::vector<std::string> all = env->Environment();
  EXPECT_NE(std::find(all.begin(), all.end(), "KALVO_TEST_VAR=a=b c"),
            all.end());
  for (const std::string& e : all) EXPECT_NE(e[0], '=') << e;
  ASSERT_TRUE(env->SetEnv("KALVO_TEST_VAR", "").ok());
  ASSERT_TRUE(env->GetEnv("KALVO_TEST_VAR", &v));
  EXPECT_EQ(v, "");
  ASSERT_TRUE(env->UnsetEnv("KALVO_TEST_VAR").ok());
  EXPECT_FALSE(env->GetEnv("KALVO_TEST_VAR", &v));
  EXPECT_EQ(getenv("KALVO_TEST_VAR"), nullptr);
  EXPECT_TRUE(env->UnsetEnv("KALVO_TEST_VAR").ok());  // not set: fine
  EXPECT_EQ(env->SetEnv("BAD=NAME", "x").code(), EINVAL);
  EXPECT_EQ(env->SetEnv("", "x").code(), EINVAL);
  EXPECT_EQ(env->UnsetEnv("").code(), EINVAL);
  std::string big(5000, 'x');
  ASSERT_TRUE(env->SetEnv("KALVO_TEST_BIG", big).ok());
  ASSERT_TRUE(env->GetEnv("KALVO_TEST_BIG", &v));
  EXPECT_EQ(v, big);
  env->UnsetEnv("KALVO_TEST_BIG");
}

TEST(EnvTest, Clock) {
  Env* env = Env::Default();
  LocalTime t = env->Now();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
  EXPECT_TRUE(t.minute >= 0 && t.minute <= 59);
  EXPECT_TRUE(t.second >= 0 && t.second <= 60);
  EXPECT_TRUE(t.millisecond >= 0 && t.millisecond <= 999);
  EXPECT_TRUE(t.weekday >= 0 && t.weekday <= 6);
  const int64_t now = env->NowSeconds();
  EXPECT_GT(now, 1500000000);
  EXPECT_LE(std::abs(now - static_cast<int64_t>(std::time(nullptr))), 2);
  uint64_t a = env->NowMicros();
  env->SleepMs(20);
  uint64_t b = env->NowMicros();
  EXPECT_GE(b, a + 15000);  // slept about that long (timer granularity)
  EXPECT_LT(b, a + 5000000);
  env->SleepMs(0);
  env->SleepMs(-5);
}

// Linux: the process ends by SIGKILL; Windows: by TerminateProcess with the
// status a waiter sees for that on Linux.
TEST(EnvTest, KillCurrentProcessLeavesTheKilledStatus) {
  EXPECT_EQ(testing::RunChild("env_kill", {}), testing::kChildKilled);
}

}  // namespace
}  // namespace platform
