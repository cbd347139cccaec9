// Formula texts: TxtRead plus Write of 10 000 different texts, each with
// every tag the writer prints (target 20 000 formulas/s); ParseCntString of
// 10 000 lists of 8 named colorants against 200 colorants (target 2 000
// lists/s); and 10 000 formulas resolved by id on a data set with 10 000 FRM
// records (target under 5 ms per formula, flat across the run), with the
// table opens per formula.

#include <benchmark/benchmark.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

std::vector<std::string> MakeTexts(int n) {
  std::vector<std::string> texts;
  texts.reserve(n);
  for (int i = 0; i < n; ++i) {
    HFormula f;
    f.m_DataId = 7;
    f.m_PrdId = 1 + i % 3;
    f.m_PrdName = "Product";
    f.m_ClrId = i + 1;
    f.m_ClrName = "Colour " + std::to_string(i);
    f.m_BasId = 2;
    f.m_BasName = "Base";
    f.m_Fill_Q = 0.9;
    f.m_CanId = 3;
    f.m_CanNomQ = 1000;
    f.m_Frm = "1," + std::to_string(i % 97) + ".125,4,2.5,9,0.75";
    f.m_FrmNomQ = 1000;
    f.m_FrmInfo.AddInfo(1, "code", "A1");
    for (int k = 0; k < 16; ++k) f.m_Rfl[k] = 0.05 * k;
    f.m_NLevels = 1;
    f.m_Levels[0] = {1, "level"};
    texts.push_back(f.WriteText(nullptr));
  }
  return texts;
}

void BM_TxtReadWrite(benchmark::State& state) {
  static const std::vector<std::string> texts = MakeTexts(10000);
  size_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& t : texts) {
      HFormula f;
      f.TxtReadText(t.data(), t.size());
      std::string out = f.WriteText(nullptr);
      bytes += out.size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * texts.size());
}
BENCHMARK(BM_TxtReadWrite)->Unit(benchmark::kMillisecond);

// Counts the table files (".dbf") opened through the platform layer.
class CountingEnv : public platform::EnvWrapper {
 public:
  CountingEnv() : EnvWrapper(platform::Env::Current()) {}
  platform::Status OpenFile(const std::string& p, platform::OpenMode m,
                            std::unique_ptr<platform::File>* f) override {
    if (p.size() > 4) {
      std::string ext = p.substr(p.size() - 4);
      for (char& c : ext) c = static_cast<char>(std::tolower(c));
      if (ext == ".dbf") ++dbf_opens;
    }
    return EnvWrapper::OpenFile(p, m, f);
  }
  int64_t dbf_opens = 0;
};

constexpr int kColorants = 200;
constexpr int kLists = 10000;
constexpr int kFormulas = 10000;

// 200 colorants: DESCR "Colorant N", CODE "CN".
struct ColorantSet {
  platform::ScopedTempDrives drives;
  CMixtableEx ts;
  ColorantSet() {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    Wdbase cnts;
    b.Create(Y_CNTS);
    cnts.SetFiles(&WyGetFileInfo(Y_CNTS)->def);
    cnts.SetPath("c:\\gdata\\");
    cnts.Open();
    for (int i = 1; i <= kColorants; ++i) {
      cnts.AppendBlank();
      cnts.WriteString("ID", mixtable_testing::Id(i).c_str());
      cnts.WriteString("CODE", ("C" + std::to_string(i)).c_str());
      cnts.WriteString("DESCR", ("Colorant " + std::to_string(i)).c_str());
    }
    cnts.Close();
    ts.SetDataDir("c:\\gdata\\");
  }
};

void BM_ParseCntString(benchmark::State& state) {
  static ColorantSet* set = new ColorantSet;
  std::vector<std::string> lists;
  lists.reserve(kLists);
  for (int i = 0; i < kLists; ++i) {
    std::string l;
    for (int k = 0; k < 8; ++k) {
      const int id = 1 + (i * 7 + k * 23) % kColorants;
      // Half by description (quoted: it holds a blank), half by code.
      l += k % 2 ? "\"Colorant " + std::to_string(id) + "\" "
                 : "C" + std::to_string(id) + " ";
      l += std::to_string(1 + k) + ".25 ";
    }
    lists.push_back(l);
  }
  int64_t ok = 0;
  for (auto _ : state) {
    for (const std::string& l : lists) {
      HFormula f;
      ok += f.ParseCntString(&set->ts.Mixtable(), l.c_str());
    }
  }
  if (ok != static_cast<int64_t>(state.iterations()) * kLists)
    state.SkipWithError("a list was refused");
  state.SetItemsProcessed(state.iterations() * kLists);
}
BENCHMARK(BM_ParseCntString)->Unit(benchmark::kMillisecond);

// The sample data set with 10 000 more formulas in FRM of product 1 /
// sub-product 1, and a can of 1 000.
struct FormulaSet {
  platform::ScopedTempDrives drives;
  CMixtableEx ts;
  FormulaSet() {
    std::string error;
    mixtable_testing::BuildSampleDataSet("c:\\gdata\\", &error);
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    b.Append(Y_CANS, {{"ID", mixtable_testing::Id(10)}, {"NOM_Q", "1000"}});
    ts.SetDataDir("c:\\gdata\\");
    Wdbase* prd = ts.Handle(Y_PRODUCTS);
    Wdbase* spd = ts.Handle(Y_SUBPRODS);
    ts.Open(prd);
    ts.Select(prd, 1);
    ts.Open(spd);
    ts.Select(spd, 1);
    Wdbase* frm = ts.Handle(Y_FRM);
    ts.Open(frm);
    const int old = Wdbase::FlushSet(0);
    frm->Lock();
    for (int i = 100; i < 100 + kFormulas; ++i) {
      frm->AppendBlank();
      frm->WriteString("ID", mixtable_testing::Id(i).c_str());
      frm->WriteString("KEY1", ("K" + std::to_string(i)).c_str());
      frm->WriteString("FORMULA", "1,10.5,2,3.25,3,0.125");
      frm->WriteString("BASE_ID", mixtable_testing::Id(1).c_str());
      frm->WriteString("CAN_ID", mixtable_testing::Id(10).c_str());
    }
    frm->Unlock();
    Wdbase::FlushSet(old);
    ts.CloseAll();
  }
};

// Resolves formulas 100 .. 100 + 10 000 by id. Reported: ms per formula
// over the whole run, over its first and its last thousand (flatness), and
// table files opened per formula.
void BM_ResolveById(benchmark::State& state) {
  static FormulaSet* set = new FormulaSet;
  CountingEnv counter;
  platform::Env* old = platform::Env::SetCurrent(&counter);
  std::vector<std::string> texts;
  texts.reserve(kFormulas);
  for (int i = 100; i < 100 + kFormulas; ++i)
    texts.push_back("@SRC 0\n@PRD #1 #1\n@CLR #" + std::to_string(i) +
                    "\n@CAN #10\n@END\n");
  double first_ms = 0, last_ms = 0, total_ms = 0;
  int64_t resolved = 0, complete = 0;
  counter.dbf_opens = 0;
  for (auto _ : state) {
    platform::Env* env = &counter;
    const uint64_t start = env->NowMicros();
    uint64_t mark = start;
    for (int i = 0; i < kFormulas; ++i) {
      HFormula f;
      f.TxtReadText(texts[i].data(), texts[i].size());
      f.Resolve(&set->ts.Mixtable());
      complete += f.m_Frm == "1,10.5,2,3.25,3,0.125" && f.m_FrmNomQ == 1000;
      ++resolved;
      if (i == 999) {
        first_ms += (env->NowMicros() - mark) / 1000.0;
      } else if (i == kFormulas - 1001) {
        mark = env->NowMicros();
      }
    }
    const uint64_t end = env->NowMicros();
    last_ms += (end - mark) / 1000.0;
    total_ms += (end - start) / 1000.0;
  }
  platform::Env::SetCurrent(old);
  if (complete != resolved) state.SkipWithError("a formula did not resolve");
  const double runs = static_cast<double>(state.iterations());
  state.counters["ms_per_formula"] = total_ms / (runs * kFormulas);
  state.counters["first_1000_ms_per_formula"] = first_ms / (runs * 1000);
  state.counters["last_1000_ms_per_formula"] = last_ms / (runs * 1000);
  state.counters["table_opens_per_formula"] =
      static_cast<double>(counter.dbf_opens) / static_cast<double>(resolved);
  state.SetItemsProcessed(resolved);
}
BENCHMARK(BM_ResolveById)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
