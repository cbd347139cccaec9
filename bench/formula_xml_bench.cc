// Wy_Formula::WriteXMLEx per second into an open report document, with the
// caller's table set passed (colorant and base codes looked up in it) and,
// for comparison, the compact WriteXML. The document is closed and started
// again every 1000 formulas (outside the timing) so memory stays flat.
//
//   build/bench/formula_xml_bench

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_xml_file.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

constexpr int kPerDocument = 1000;

template <bool kStructured>
void BM_Write(benchmark::State& state) {
  platform::ScopedTempDrives drives;
  mixtable_testing::DataSetBuilder b("c:\\gdata\\");
  for (int id = 1; id <= 20; ++id)
    b.Append(Y_CNTS, {{"ID", Id(id)},
                      {"CODE", "C" + std::to_string(id)},
                      {"SPEC_W", "1200"}});
  b.Append(Y_BASES, {{"ID", Id(1)}, {"CODE", "BASE-1"}});
  CMixtableEx ts;
  ts.SetDataDir("c:\\gdata\\");
  Wy_Formula f;
  f.m_PrdId = 1, f.m_PrdName = "Interior";
  f.m_ClrId = 7, f.m_ClrName = "K 1001|Sky|BLUE|";
  f.m_BasId = 1, f.m_BasName = "Deep base", f.m_Fill_Q = 905;
  f.m_CanId = 2, f.m_CanName = "Can 1 l", f.m_CanNomQ = 1000;
  f.m_Frm = "1,4.64,7,35.868,4,1.13,12,0.5,19,2.25";
  f.m_FrmNomQ = 1000;
  for (double& r : f.m_Rfl) r = 0.4;
  f.m_X10[0] = 15.4, f.m_X10[1] = 19.2, f.m_X10[2] = 39.5;
  const std::string path = drives.Host("report.xml");
  const std::time_t now = std::time(nullptr);
  int64_t n = 0;
  auto doc = std::make_unique<Wy_XmlFile>(3);
  doc->SetFileName(path, false);
  Wy_SeqFile* h = doc->GetFileHandle();
  for (auto _ : state) {
    if (h == nullptr) {
      state.SkipWithError("document refused");
      break;
    }
    int r = kStructured ? f.WriteXMLEx(h, nullptr, nullptr, nullptr, &now, &ts,
                                       true, false, nullptr)
                        : f.WriteXML(h, nullptr, nullptr, nullptr, &now, &ts);
    benchmark::DoNotOptimize(r);
    if (++n % kPerDocument == 0) {
      state.PauseTiming();
      doc = std::make_unique<Wy_XmlFile>(3);
      doc->SetFileName(path, false);
      h = doc->GetFileHandle();
      state.ResumeTiming();
    }
  }
  state.counters["formulas/s"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsRate);
}

void BM_WriteXMLEx(benchmark::State& state) { BM_Write<true>(state); }
void BM_WriteXML(benchmark::State& state) { BM_Write<false>(state); }

BENCHMARK(BM_WriteXMLEx)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteXML)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
