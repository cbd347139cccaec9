// Appending one formula to a history document of 1 MB and of 100 MB the way
// the history does: a fresh Wy_XmlFile on the existing document, the
// formula written through WriteXML (the shop document, type 2) or
// WriteXMLEx (type 1, shop line on), both with shop and dispenser data and
// the caller's table set, then CloseFileHandle. Reports the time per append
// and the bytes read per append; the target is that both stay the same
// whatever the document's size (only its tail is read).
//
// The documents are made in a temporary drives root by writing their bytes
// directly (100 MB in well under a second); every 1000 appends the document
// is cut back to its first size outside the timing.
//
//   build/bench/formula_append_bench

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_records.h"
#include "mixtable/wy_xml_file.h"
#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

constexpr int kCutBackEvery = 1000;
constexpr char kClose[] = "</HISTORY>";

// A history document of about mb megabytes: the head of a type-2
// document, compact formula entries, the closing tag.
bool MakeDocument(const std::string& path, int64_t mb) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<HISTORY>\r\n"
      "<SHOPINFO>(Shop)(Street)(Town)(PC1)</SHOPINFO>\t\n";
  const std::string entry =
      "<FORMULA>\r\n<GDT>(#1)</GDT>\r\n<SRC>(0)</SRC>\r\n"
      "<PRD>(#1)(Interior)(#1)(Matt)</PRD>\r\n<WGH>(0)</WGH>\r\n"
      "<UNT>(1.0000)(1.0000)</UNT>\r\n<CLR>(#7)(K 1001|Sky|BLUE|)</CLR>\r\n"
      "<BAS>(#1)(Deep base)(905.000)(0.000)(0.000)(0.000)</BAS>\r\n"
      "<CAN>(#2)(Can 1 l)(1000.0000)($0$)</CAN>\r\n<LQT>(1)</LQT>\r\n"
      "<FRM>(1,C1,4.64)(7,C7,35.868):(1000.0000)($0$)($0$)</FRM>\r\n"
      "<TIM>(2026:12:08)(16:00:00)</TIM>\r\n</FORMULA>\r\n";
  std::string block;
  while (block.size() < (1u << 20)) block += entry;
  bool ok = fwrite(head.data(), 1, head.size(), f) == head.size();
  for (int64_t written = static_cast<int64_t>(head.size());
       ok && written < (mb << 20); written += block.size())
    ok = fwrite(block.data(), 1, block.size(), f) == block.size();
  ok = ok && fputs(kClose, f) >= 0;
  return fclose(f) == 0 && ok;
}

// Cuts the document back to size bytes (which end with the closing tag).
bool CutBack(const std::string& path, uintmax_t size) {
  std::error_code ec;
  std::filesystem::resize_file(path, size - (sizeof kClose - 1), ec);
  if (ec) return false;
  FILE* f = fopen(path.c_str(), "ab");
  if (f == nullptr) return false;
  bool ok = fputs(kClose, f) >= 0;
  return fclose(f) == 0 && ok;
}

template <bool kStructured>
void BM_AppendFormula(benchmark::State& state) {
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
  f.m_SpdId = 1, f.m_SpdName = "Matt";
  f.m_ClrId = 7, f.m_ClrName = "K 1001|Sky|BLUE|";
  f.m_BasId = 1, f.m_BasName = "Deep base", f.m_Fill_Q = 905;
  f.m_CanId = 2, f.m_CanName = "Can 1 l", f.m_CanNomQ = 1000;
  f.m_Frm = "1,4.64,7,35.868,4,1.13,12,0.5,19,2.25";
  f.m_FrmNomQ = 1000;
  f.m_Lqnt = 1;
  for (double& r : f.m_Rfl) r = 0.4;
  f.m_X10[0] = 15.4, f.m_X10[1] = 19.2, f.m_X10[2] = 39.5;
  Wy_ShopData shop;
  shop.m_Shop1 = "Shop", shop.m_Shop2 = "Street", shop.m_Shop3 = "Town";
  shop.m_PcId = "PC1", shop.m_UserId = "u1", shop.m_UserName = "Ann";
  Wy_DispenserData dispenser;
  dispenser.m_DispenserId = 1, dispenser.m_DispenserDescr = "Dispenser 1";

  const std::string path = drives.Host("history.xml");
  if (!MakeDocument(path, state.range(0))) {
    state.SkipWithError("cannot make the document");
    return;
  }
  const uintmax_t size = std::filesystem::file_size(path);
  const int type = kStructured ? 1 : 2;
  uint64_t bytes_read = 0;
  int64_t appends = 0;
  for (auto _ : state) {
    const std::time_t now = std::time(nullptr);
    Wy_XmlFile doc(type, &shop);
    doc.SetFileName(path, true);
    Wy_SeqFile* h = doc.GetFileHandle();
    if (h == nullptr) {
      state.SkipWithError("document refused");
      break;
    }
    const int r = kStructured
                      ? f.WriteXMLEx(h, nullptr, &shop, &dispenser, &now, &ts,
                                     false, true, nullptr)
                      : f.WriteXML(h, nullptr, &shop, &dispenser, &now, &ts);
    bytes_read += h->BytesRead();
    if (r != 1 || doc.CloseFileHandle() != 1) {
      state.SkipWithError("append failed");
      break;
    }
    if (++appends % kCutBackEvery == 0) {
      state.PauseTiming();
      if (!CutBack(path, size)) state.SkipWithError("cannot cut back");
      state.ResumeTiming();
    }
  }
  state.counters["bytes_read_per_append"] =
      appends ? static_cast<double>(bytes_read) / appends : 0;
  state.counters["document_MB"] =
      static_cast<double>(size) / static_cast<double>(1 << 20);
}

void BM_AppendWriteXML(benchmark::State& state) {
  BM_AppendFormula<false>(state);
}
void BM_AppendWriteXMLEx(benchmark::State& state) {
  BM_AppendFormula<true>(state);
}

BENCHMARK(BM_AppendWriteXML)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendWriteXMLEx)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
