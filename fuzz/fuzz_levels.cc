// Level texts of arbitrary bytes: parsed alone, then as the "@LEV" lines of
// a formula text through HDspLevels. Checked: no crash; the pair count
// matches both arrays whether or not they are asked for; every level is
// finite; each entry's count matches its arrays; a copy equals its source
// after the source is gone.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/hdsp_levels.h"
#include "mixtable/hformula.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::vector<int> circuits;
  std::vector<double> levels;
  const int pairs =
      HDspLevels::ParseLevelText(bytes.c_str(), &circuits, &levels);
  Check(pairs >= 0 && static_cast<size_t>(pairs) == circuits.size() &&
        circuits.size() == levels.size());
  Check(HDspLevels::ParseLevelText(bytes.c_str(), nullptr, nullptr) == pairs);
  for (double l : levels) Check(std::isfinite(l));

  // The same bytes as the text of up to six level lines, one per line of
  // the input, and as a formula text of their own.
  HFormula f;
  size_t start = 0;
  for (int k = 0; k < HFormula::kLevels && start <= bytes.size(); ++k) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    f.m_Levels[k] = {k + 1, bytes.substr(start, end - start)};
    f.m_NLevels = k + 1;
    start = end + 1;
  }
  HFormula read;
  read.TxtReadText(bytes.data(), bytes.size());
  for (HFormula* formula : {&f, &read}) {
    auto source = std::make_unique<HDspLevels>();
    const int loaded = source->LoadLevels(formula);
    Check(loaded == (formula->NDspLevelsStrings() > 0 ? 1 : 0));
    Check(source->GetCount() == formula->NDspLevelsStrings());
    HDspLevels copy(*source);
    for (int i = 0; i < source->GetCount(); ++i) {
      const HDspLevels::DspLevelInfo* e = (*source)[i];
      Check(e != nullptr && e->m_NCanisters >= 0 &&
            static_cast<size_t>(e->m_NCanisters) == e->m_Circuit.size() &&
            e->m_Circuit.size() == e->m_Level.size());
    }
    Check((*source)[-1] == nullptr && (*source)[source->GetCount()] == nullptr);
    std::vector<std::vector<double>> before;
    for (int i = 0; i < copy.GetCount(); ++i)
      before.push_back((*source)[i]->m_Level);
    source.reset();
    for (int i = 0; i < copy.GetCount(); ++i)
      Check(copy[i]->m_Level.size() == before[i].size());
  }
  return 0;
}
