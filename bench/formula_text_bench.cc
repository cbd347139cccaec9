// Formula texts: TxtRead plus Write of 10 000 different texts, each with
// every tag the writer prints. Reported as formulas per second (target
// 20 000/s).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mixtable/hformula.h"

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

}  // namespace

BENCHMARK_MAIN();
