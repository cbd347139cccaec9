// User data groups and items of arbitrary bytes against a small data set
// built once: the input's lines up to the first empty line are a group, the
// rest are items. They are split, compared and written back into the data
// set. Whatever was written, the items taken afterwards keep every record's
// ID and keys, write back cleanly (true) and come back unchanged: writing
// back is a fixed point.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_user_data.h"
#include "platform/env.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace {

using mixtable_testing::Id;
using Lines = std::vector<std::string>;

constexpr char kDir[] = "c:\\gdata\\";

// Every switch on.
const Lines& FullGroup() {
  static const Lines group = [] {
    Lines g;
    if (!Wy_CreateGDataUserDataGroup(g, kDir, nullptr, true, true, true, true,
                                     true, true, true))
      std::abort();
    return g;
  }();
  return group;
}

// The record columns (table, ID, keys, description) of items.
Lines Records(const Lines& items) {
  Lines out;
  for (size_t i = 1; i < items.size(); ++i)
    out.push_back(items[i].substr(0, kWyUserDataColumns[5].at));
  return out;
}

const Lines& Reference() {
  static const Lines ref = [] {
    platform::Env* env = platform::Env::Current();
    const std::string dir = env->TempDir() + "/fuzz_userdata_" +
                            std::to_string(env->CurrentProcessId());
    env->CreateDir(dir);
    env->SetEnv("KALVO_DRIVES", dir + "/drives");
    Wdbase::FlushSet(0);  // no disk syncs: speed is what counts here
    mixtable_testing::DataSetBuilder b(kDir);
    bool ok = b.Append(Y_BASES, {{"ID", Id(1)}, {"COST", "10"}});
    for (int32_t prd : {0, 1, 2})
      ok = ok && b.Append(Y_CNTS, {{"ID", Id(2)},
                                   {"CODE", "C2"},
                                   {"DESCR", "Colorant"},
                                   {"SPEC_W", "1200"},
                                   {"COST", "2.5"},
                                   {"PROD_KEY", Id(prd)},
                                   {"SUBP_KEY", Id(0)}});
    ok = ok && b.Append(Y_CNTS, {{"ID", Id(3)}, {"SPEC_W", "900"}});
    ok = ok && b.Append(Y_CANS, {{"ID", Id(1)},
                                 {"DESCR", "Tin"},
                                 {"H_MIN", "10"},
                                 {"H_MAX", "120"},
                                 {"ZERO_FLAG", "1"},
                                 {"FLAGS", "AB"}});
    ok = ok && b.Append(Y_CANS, {{"ID", Id(2)}, {"FLAGS", "X"}});
    Lines items;
    if (!ok || !Wy_GetGDataUserDataItem(FullGroup(), items, kDir, nullptr))
      std::abort();
    return Records(items);
  }();
  return ref;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Lines& ref = Reference();
  Lines group, items;
  bool in_group = true;
  std::string line;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != '\n') {
      line += static_cast<char>(data[i]);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (in_group && line.empty()) {
      in_group = false;
    } else {
      (in_group ? group : items).push_back(line);
    }
    line.clear();
  }

  std::string descr, dir;
  bool s[kWyUserDataFieldCount];
  Wy_SplitGDataUserDataGroup(group, &descr, &dir, &s[0], &s[1], &s[2], &s[3],
                             &s[4], &s[5], &s[6]);
  for (int i = 0; i <= static_cast<int>(items.size()); ++i) {
    std::string c[10];
    if (!Wy_SplitGDataUserDataItem(items, i, &c[0], &c[1], &c[2], &c[3], &c[4],
                                   &c[5], &c[6], &c[7], &c[8], &c[9]))
      continue;
    std::string whole;
    for (const std::string& col : c) whole += col;
    if (whole != items[static_cast<size_t>(i)]) std::abort();
  }
  Lines diff;
  if (Wy_DeltaGDataUserDataItem(items, group, diff) &&
      (diff.empty() || diff.size() > items.size() || diff[0] != items[0]))
    std::abort();

  Wy_SetGDataUserDataItem(group, items, kDir, nullptr);
  Wy_SetGDataUserDataItem(FullGroup(), items, kDir, nullptr);

  // Whatever was written: the records are the same, and what is taken now
  // writes back as a fixed point.
  Lines now, again;
  if (!Wy_GetGDataUserDataItem(FullGroup(), now, kDir, nullptr) ||
      Records(now) != ref)
    std::abort();
  if (!Wy_SetGDataUserDataItem(FullGroup(), now, kDir, nullptr) ||
      !Wy_GetGDataUserDataItem(FullGroup(), again, kDir, nullptr) ||
      again != now)
    std::abort();
  return 0;
}
