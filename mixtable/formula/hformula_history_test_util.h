// Test support for the archive and history tests: a temporary drives root
// without the directory variables, the trace lines, a sample formula and a
// catalogued data set with FVERS.DAT and dispenser ids.

#ifndef MIXTABLE_FORMULA_HFORMULA_HISTORY_TEST_UTIL_H_
#define MIXTABLE_FORMULA_HFORMULA_HISTORY_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "access/scoped_env_var.h"
#include "mixtable/wy_catalog.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "platform/testing/temp_drives.h"

namespace hftest {

inline std::vector<std::string>*& TraceSink() {
  static std::vector<std::string>* sink = nullptr;
  return sink;
}
inline void Record(int, const char* text) {
  if (TraceSink() != nullptr) TraceSink()->push_back(text);
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
                  .ok())
      << path;
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
}

// A drives root of its own, the local directory c:\local\ created, trace
// lines collected.
class HistoryEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string local;
    ASSERT_EQ(1, Wy_LocalPath(local));
    old_hook_ = platform::SetTraceHook(Record);
    TraceSink() = &trace_;
  }
  void TearDown() override {
    platform::SetTraceHook(old_hook_);
    TraceSink() = nullptr;
  }
  // Host path of a file in c:\local\.
  static std::string LocalHost(const std::string& name) {
    std::string host;
    EXPECT_TRUE(
        platform::Env::Current()->HostPath("c:\\local\\" + name, &host).ok());
    return host;
  }
  bool Traced(const std::string& text) const {
    for (const std::string& t : trace_)
      if (t == text) return true;
    return false;
  }
  // Catalogues data set id in c:\gdata<id>\ with FVERS.DAT and DISP_ID.
  void Catalogue(uint32_t id, const char* fvers, const char* dispIds) {
    const std::string dir = "c:\\gdata" + std::to_string(id) + "\\";
    ASSERT_TRUE(Wy_MkDir(dir));
    if (fvers != nullptr) WriteFile(dir + "FVERS.DAT", fvers);
    std::string path = dir;
    ASSERT_NE(0, Wy_UpdateDatactl(id, 0, path.data(), "Test"));
    Wdbase ctl;
    ASSERT_EQ(1, Wy_SetDatactlDbHandle(&ctl));
    ASSERT_EQ(1, ctl.Open());
    ASSERT_EQ(1, ctl.SelectIdx(1));
    char key[16];
    snprintf(key, sizeof key, "%10u", id);
    ASSERT_EQ(1, ctl.Seek(key));
    ASSERT_EQ(1, ctl.WriteString("DISP_ID", dispIds));
    ASSERT_EQ(1, ctl.Close());
    Wy_ResetAbsDataIdCache();
  }
  // A custom formula of data set id on a table can.
  static Wy_Formula Sample(uint32_t id) {
    Wy_Formula f;
    f.m_DataId = id;
    f.m_PrdId = 3;
    f.m_SpdId = 4;
    f.m_ClrId = 9;
    f.m_ClrName = "RED|DARK|X1|note";
    f.m_BasId = 1;
    f.m_BasName = "Base 1";
    f.m_Fill_Q = 900;
    f.m_Fill_W = 1100;
    f.m_CanId = 2;
    f.m_CanName = "1 L";
    f.m_CanNomQ = 1000;
    f.m_Frm = "5,1.25,6,0.5";
    f.m_FrmNomQ = 1000;
    f.m_Lqnt = 2;
    f.SetUnit(0, 1.0, 2.0, 1.0);
    f.m_Source = HF_SOURCE_STANDARD;
    return f;
  }

  platform::ScopedTempDrives drives_;
  mixtable::ScopedEnvVar no_local_{"LOCALDIR"};
  mixtable::ScopedEnvVar no_cache_{"CACHEDIR"};
  mixtable::ScopedEnvVar no_dsp_{"DSP"};
  std::vector<std::string> trace_;
  platform::TraceHook old_hook_ = nullptr;
};

}  // namespace hftest

#endif  // MIXTABLE_FORMULA_HFORMULA_HISTORY_TEST_UTIL_H_
