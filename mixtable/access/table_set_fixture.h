// Test fixture: a fresh drives root with the sample data set in
// "c:\gdata\" and a table set on it.

#ifndef MIXTABLE_ACCESS_TABLE_SET_FIXTURE_H_
#define MIXTABLE_ACCESS_TABLE_SET_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

class SampleDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On Windows "c:\gdata\" is the real drive, kept from the test before
    // (on Linux the drives root is new for every test): start empty.
    platform::Env::Current()->DeleteTree("c:\\gdata");
    std::string error;
    ASSERT_TRUE(mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error))
        << error;
    ts_.SetDataDir("c:\\gdata\\");
  }

  // Opens PRODUCTS on product prd and, when spd is not 0, SUBPRODS on spd.
  void Position(int32_t prd, int32_t spd) {
    ts_.CloseAll();
    ASSERT_TRUE(ts_.Open(ts_.Handle(Y_PRODUCTS)));
    ASSERT_TRUE(ts_.Select(ts_.Handle(Y_PRODUCTS), prd));
    if (spd == 0) return;
    ASSERT_TRUE(ts_.Open(ts_.Handle(Y_SUBPRODS)));
    ASSERT_TRUE(ts_.Select(ts_.Handle(Y_SUBPRODS), spd));
  }

  std::string Trimmed(Wdbase* db, const char* field) {
    char buf[256];
    db->ReadString(field, buf, sizeof buf, 1, 1);
    return buf;
  }

  platform::ScopedTempDrives drives_;
  CMixtableEx ts_;
};

#endif  // MIXTABLE_ACCESS_TABLE_SET_FIXTURE_H_
