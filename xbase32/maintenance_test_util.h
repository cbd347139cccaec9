// Helpers shared by the tests of memo texts and table maintenance: a fixture
// with a fresh directory, table builders, raw bytes of the memo file and a
// runner for a child process.

#ifndef XBASE32_MAINTENANCE_TEST_UTIL_H_
#define XBASE32_MAINTENANCE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/env.h"
#include "test_util.h"

namespace xbase32::testing {

class TableTest : public EngineTest {
 protected:

  // Defines (and, with fields, creates) table name in the test directory.
  bool Define(Wdbase* w, const char* name) {
    return w->SetFiles(dir_.c_str(), name, 0, nullptr, nullptr) != 0;
  }
  bool Make(Wdbase* w, const char* name, std::vector<WDBASE_FIELD> fields) {
    auto f = Fields(std::move(fields));
    return Define(w, name) && w->CreateDb(f.data()) && w->Open();
  }
  bool OpenTable(Wdbase* w, const char* name) {
    return Define(w, name) && w->Open();
  }

  // NAME C(8) and NOTES M with n records "R1".."Rn"; record i gets the text
  // "text of record i" repeated i times when with_text.
  void MakeNotes(Wdbase* w, const char* name, int n, bool with_text = true) {
    ASSERT_TRUE(Make(w, name, {Fld("NAME", 'C', 8), Fld("NOTES", 'M', 10)}));
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(1, w->AppendBlank());
      ASSERT_EQ(1, w->WriteString("NAME", ("R" + std::to_string(i)).c_str()));
      if (with_text) {
        const std::string t = NoteText(i);
        ASSERT_EQ(1, w->MemoWrite("NOTES", t.data(), t.size()));
      }
    }
  }
  static std::string NoteText(int i) {
    std::string t;
    for (int k = 0; k < i; ++k)
      t += "text of record " + std::to_string(i) + ";";
    return t;
  }

  std::string Host(const std::string& file) const { return dir_ + file; }
  std::string Bytes(const std::string& file) const {
    return ReadAll(Host(file));
  }
  static uint32_t Get32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
      v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    }
    return v;
  }
  // The text of field k of the current record.
  static std::string Memo(Wdbase* w, const char* field) {
    const char* p = w->MemoPtr(field);
    return p ? std::string(p, w->MemoLen(field)) : "<null>";
  }
};

}  // namespace xbase32::testing

#endif  // XBASE32_MAINTENANCE_TEST_UTIL_H_
