// The colorant macro on arbitrary bytes, as a card value and as a formula
// text:
//  * as a value: the value check, the macro detection, conversion and
//    expansion on a formula table never crash; a conversion or expansion
//    that succeeds leaves no placeholder it was asked to replace, and an
//    expansion of a value that passed the check evaluates without a crash;
//    the macro made for the detected colorant passes the check and is
//    detected again;
//  * as a formula text: the pair test agrees with yformula's parser;
//  * as the "FORMULA" of a record: the routine reached through the CX call
//    of the expanded macro answers exactly what the pair test answers on the
//    stored text, for a few colorant ids taken from the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/quantity_format.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/yformula.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

struct World {
  CMixtableEx tables;
  Wdbase* frm = nullptr;
  Wy_GDataChild child;
};

World* Setup() {
  platform::Env* env = platform::Env::Current();
  const std::string dir = env->TempDir() + "/fuzz_cnt_macro_" +
                          std::to_string(env->CurrentProcessId());
  env->CreateDir(dir);
  env->SetEnv("KALVO_DRIVES", dir + "/drives");
  Wdbase::FlushSet(0);
  Wdbase::SetDebugLevel(0);
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  if (!b.Append(Y_FRM, {{"ID", mixtable_testing::Id(1)}, {"FORMULA", "1,2"}}))
    std::abort();
  World* w = new World;
  w->tables.SetDataDir("c:\\gdata\\");
  w->frm = w->tables.Handle(Y_FRM);
  if (w->tables.Open(w->frm) != 1 || w->frm->Goto(1) != 1) std::abort();
  w->frm->SetOEMConversionMode(Wdbase_OEMtoChar_Off);  // bytes as given
  if (!w->child.InitInDummyMode()) std::abort();
  return w;
}

std::string Placeholder(const char* format, int32_t cnt) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, static_cast<long>(cnt));
  return buf;
}

void AsCardValue(World& w, const std::string& s) {
  const bool safe = Wy_GDataChild::IsCardValueSafe(s);
  int32_t cnt = 0;
  if (w.child.IsCntFunctionRequired(s.c_str(), cnt)) {
    if (cnt < 1 || cnt > 99999) std::abort();
    std::string m;
    int32_t again = 0;
    if (!w.child.MakeCntFunctionMacro(m, cnt) ||
        !Wy_GDataChild::IsCardValueSafe(m) ||
        !w.child.IsCntFunctionRequired(m.c_str(), again) || again != cnt)
      std::abort();
    std::string e = s;
    if (w.child.ConvertCntFunctionMacro(e, cnt, "H1", "7")) {
      if (e.find(Placeholder(kCntMacroFuncFormat, cnt)) != std::string::npos ||
          e.find(Placeholder(kCntMacroCntFormat, cnt)) != std::string::npos)
        std::abort();
    } else if (e != s) {
      std::abort();  // a refusal leaves the text as it was
    }
  }
  std::string e = s;
  if (w.child.ExpandCntMacros(*w.frm, e)) {
    if (e.find("@CNT_F") != std::string::npos ||
        e.find("@CNT_S") != std::string::npos)
      std::abort();
    if (safe && e.size() < 4096) {
      char out[256];
      w.frm->GetExprResult(e.c_str(), out, sizeof out);
    }
  } else if (e != s) {
    std::abort();
  }
}

// The pair test agrees with the formula text's own parser.
bool Oracle(const char* text, int32_t cnt) {
  yformula f;
  std::vector<YFormulaPair> pairs;
  if (cnt < 1 || !f.set(text) || !f.parse(&pairs)) return false;
  for (const YFormulaPair& p : pairs)
    if (p.id == cnt) return true;
  return false;
}

void AsFormula(World& w, const std::string& s, const std::string& value) {
  const int32_t lead = Wy_ReadId(value.data(), value.size());
  for (int32_t cnt : {1, 2, lead}) {
    if (Wy_GDataChild::FormulaHoldsColorant(s.data(), s.size(), cnt) !=
        Oracle(s.c_str(), cnt))
      std::abort();
  }
  // The text field holds what precedes a NUL.
  if (w.frm->WriteString("FORMULA", s.c_str()) != 1) return;
  const char* stored = w.frm->Read("FORMULA");
  if (stored == nullptr) std::abort();
  const std::string text = stored;
  std::vector<int32_t> ids = {1, 2, 99999};
  const int32_t first = Wy_ReadId(value.data(), value.size());
  if (first > 0 && first <= 99999) ids.push_back(first);
  for (int32_t cnt : ids) {
    const bool want =
        Wy_GDataChild::FormulaHoldsColorant(text.data(), text.size(), cnt);
    std::string e;
    if (!w.child.MakeCntFunctionMacro(e, cnt) ||
        !w.child.ExpandCntMacros(*w.frm, e))
      std::abort();
    e = "IIF(" + e + ",\"T\",\"F\")";
    char out[8];
    if (w.frm->GetExprResult(e.c_str(), out, sizeof out) != 1) std::abort();
    if ((out[0] == 'T') != want || (out[0] != 'T' && out[0] != 'F'))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = Setup();
  if (size > 16384) return 0;
  const std::string s(reinterpret_cast<const char*>(data), size);
  AsCardValue(*world, s);
  AsFormula(*world, s, s);
  return 0;
}
