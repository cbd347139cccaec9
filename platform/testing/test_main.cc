// The main of every test binary: runs a child entry when the binary was
// started as a child (see child_process.h), otherwise the tests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/testing/child_process.h"

int main(int argc, char** argv) {
  int code = 0;
  if (platform::testing::RunChildIfAsked(argc, argv, &code)) return code;
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
