// Colorant lists of arbitrary bytes parsed against a small colorant table
// built once: a list is taken (result 1) only when the formula text it
// leaves is well formed, and a refused list always says why with one of the
// five messages.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/yformula.h"
#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

using mixtable_testing::Id;

// The table set over the data set, built at the first call.
CMixtable* Tables() {
  static CMixtableEx* ts = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_cntstring_" +
                            std::to_string(env->CurrentProcessId());
    env->CreateDir(dir);
    env->SetEnv("KALVO_DRIVES", dir + "/drives");
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    struct {
      int32_t id;
      const char* code;
      const char* descr;
    } const rows[] = {{1, "RED", "Oxide Red"}, {2, "WHT", "White"},
                      {3, "T3", "Twin"},       {4, "T4", "Twin"},
                      {5, "DUP", "Five"},      {6, "DUP", "Six"},
                      {8, "GRN", "Green"},     {8, "GRN", "Green"},
                      {9, "Twin", "Nine"},     {10, "", ""}};
    for (const auto& r : rows)
      if (!b.Append(Y_CNTS,
                    {{"ID", Id(r.id)}, {"CODE", r.code}, {"DESCR", r.descr}}))
        std::abort();
    auto* set = new CMixtableEx;
    set->SetDataDir("c:\\gdata\\");
    return set;
  }();
  return &ts->Mixtable();
}

bool KnownMessage(const std::string& m) {
  for (const char* known :
       {HFormula::kCntSyntaxError, HFormula::kCntWrongTokens,
        HFormula::kCntWrongIdentifier, HFormula::kCntWrongFormula,
        HFormula::kCntNoConversion})
    if (m == known) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CMixtable* tables = Tables();
  const std::string text(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
  HFormula f;
  f.m_Frm = "1,1";
  const int ok = f.ParseCntString(tables, text.c_str());
  if (ok) {
    yformula y;
    y.set(f.m_Frm);
    if (y.count() < 1 || !f.LastCntMessage().empty()) std::abort();
  } else {
    if (!KnownMessage(f.LastCntMessage())) std::abort();
    if (f.m_Frm != "1,1") std::abort();  // a refused list changes nothing
  }
  return 0;
}
