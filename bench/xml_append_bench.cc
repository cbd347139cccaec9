// Appending one element to an XML history document of 1 MB and 100 MB, as
// the history does: open, find the closing tag, write, close. Reports the
// time per append and the bytes read per append (target: both independent
// of the document's size, since only its head and tail are read).
//
//   build/bench/xml_append_bench

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "mixtable/wy_xml_file.h"

namespace {

std::string MakeDocument(const std::string& dir, int64_t bytes) {
  std::string path = dir + "/history.xml";
  FILE* f = fopen(path.c_str(), "wb");
  std::string head =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<HISTORY>\r\n"
      "<SHOPINFO></SHOPINFO>\t\n";
  fwrite(head.data(), 1, head.size(), f);
  std::string entry =
      "<FORMULA><PRD>ACRYL</PRD><CLR>RAL 3020</CLR><FRM>5,1.25,6,0.3333333"
      "</FRM><DATE>2026-12-08 16:00:00</DATE></FORMULA>\r\n";
  std::string block;
  while (block.size() < (1 << 20)) block += entry;
  for (int64_t written = head.size(); written < bytes; written += block.size())
    fwrite(block.data(), 1, block.size(), f);
  fputs("</HISTORY>", f);
  fclose(f);
  return path;
}

void BM_AppendEntry(benchmark::State& state) {
  char tmpl[] = "/tmp/xml_append_benchXXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string path = MakeDocument(dir, state.range(0) << 20);
  uint64_t bytes_read = 0;
  int64_t appends = 0;
  for (auto _ : state) {
    Wy_XmlFile doc(2);
    doc.SetFileName(path, true);
    Wy_SeqFile* h = doc.GetFileHandle();
    if (h == nullptr) {
      state.SkipWithError("document refused");
      break;
    }
    h->Write(
        "<FORMULA><PRD>ACRYL</PRD><FRM>5,2.5,6,0.6666666</FRM></FORMULA>\r\n");
    bytes_read += h->BytesRead();
    if (doc.CloseFileHandle() != 1) {
      state.SkipWithError("close failed");
      break;
    }
    appends++;
  }
  state.counters["bytes_read_per_append"] =
      appends ? static_cast<double>(bytes_read) / appends : 0;
  state.counters["document_MB"] = static_cast<double>(state.range(0));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AppendEntry)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
