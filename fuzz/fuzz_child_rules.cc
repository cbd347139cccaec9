// Rule files of arbitrary bytes: a file that is read is found again card by
// card, written, read back and written again with identical bytes; every
// expression card it holds passes the card value check; the value check
// itself never crashes on the raw bytes; a colorant macro that expands
// leaves none of its placeholders behind.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mixtable/wy_gdata_child.h"
#include "platform/env.h"
#include "platform/line_reader.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

bool Setup() {
  platform::Env* env = platform::Env::Current();
  const std::string dir = env->TempDir() + "/fuzz_child_rules_" +
                          std::to_string(env->CurrentProcessId());
  env->CreateDir(dir);
  env->SetEnv("KALVO_DRIVES", dir + "/drives");
  Wdbase::FlushSet(0);
  std::string error;
  if (!mixtable_testing::BuildFreshSampleDataSet("c:\\gdata\\", &error))
    std::abort();
  Wy_GDataChild::SetIdMaker([](std::string& id) {
    id = "0000000007";
    return true;
  });
  return true;
}

bool WriteBytes(const char* path, const uint8_t* data, size_t size) {
  std::unique_ptr<platform::File> f;
  return platform::Env::Current()
             ->OpenFile(path, platform::OpenMode::kCreateAlways, &f)
             .ok() &&
         f->WriteAt(0, data, size).ok();
}

std::string Slurp(const char* path) {
  std::vector<std::string> lines;
  platform::ReadLines(path, &lines);
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  (void)ready;
  if (size > 65536) return 0;
  Wy_GDataChild::IsCardValueSafe(
      std::string(reinterpret_cast<const char*>(data), size));
  if (!WriteBytes("c:\\rules.txt", data, size)) return 0;

  Wy_GDataChild child;
  if (!child.Read("c:\\rules.txt")) {
    if (child.IsInitialised() || !child.Cards().empty()) std::abort();
    return 0;
  }
  const std::vector<std::string> cards = child.Cards();
  for (size_t i = 0; i < cards.size(); ++i) {
    Wy_GDataChild::Card c;
    if (!Wy_GDataChild::Card_Fill(cards[i], c)) std::abort();
    int p = child.Card_Find(
        c, Wy_GDataChild::kFindSection | Wy_GDataChild::kFindDatabase |
               Wy_GDataChild::kFindCode | Wy_GDataChild::kFindKey |
               Wy_GDataChild::kFindValue);
    if (p < 0 || p > int(i)) std::abort();
    if ((c.key == kCardKeyDelete || c.key == kCardKeyDeleteEx ||
         c.key == kCardKeySelect || c.key == kCardKeySelectEx) &&
        !Wy_GDataChild::IsCardValueSafe(c.value))
      std::abort();
    // Macro expansion: a taken expression keeps no placeholder of its colorant.
    int32_t cnt = 0;
    std::string e = c.value;
    if (child.IsCntFunctionRequired(e.c_str(), cnt) &&
        child.ConvertCntFunctionMacro(e, cnt, "H1", "7")) {
      char f[32];
      std::snprintf(f, sizeof f, kCntMacroFuncFormat, long(cnt));
      if (e.find(f) != std::string::npos) std::abort();
    }
  }
  if (!child.Write("c:\\out1.txt")) std::abort();
  Wy_GDataChild again;
  if (!again.Read("c:\\out1.txt") || !again.Write("c:\\out2.txt")) std::abort();
  if (Slurp("c:\\out1.txt") != Slurp("c:\\out2.txt")) std::abort();
  return 0;
}
