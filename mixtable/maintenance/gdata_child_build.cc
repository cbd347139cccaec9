// Wy_GDataChild::CreateChild: the build in the staging directory, the
// PRUNE cards, the rules of every table and the swap.
#include "maintenance/gdata_child_build.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "maintenance/level_tree.h"
#include "maintenance/repair_progress.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "xbase32/wdbase.h"

namespace {

namespace mr = mixtable::repairs;
using mixtable::child::HostInside;
using mixtable::child::HostOf;

platform::Env* E() { return platform::Env::Current(); }

Wy_GDataChild::ApplyHook g_applyHook = nullptr;

std::string Trimmed(const std::string& s) {
  std::string buf = s;
  buf.push_back('\0');
  Wy_StringTrim(buf.data(), " \t\r\n");
  return buf.c_str();
}

std::string Key(const std::string& card) {
  return card.size() >= kCardValuePos ? card.substr(kCardKeyPos, kCardKeyLen)
                                      : std::string();
}

bool IsRuleKey(const std::string& key) {
  for (const char* k : {kCardKeySelect, kCardKeySelectEx, kCardKeyDelete,
                        kCardKeyDeleteEx, kCardKeyPrune})
    if (mr::SameNoCase(key, k)) return true;
  return false;
}

bool EndsWithDbf(const std::string& name) {
  return name.size() > 4 &&
         mr::SameNoCase(name.substr(name.size() - 4), ".DBF");
}

// Whether a data file anywhere in the tree of dir is open in any process.
bool TreeInUse(const std::string& dir, std::string* which) {
  std::vector<std::string> stack(1, dir + "\\");
  bool used = false;
  E()->WalkTree(dir, [&](int depth, const platform::DirEntry& e) {
    stack.resize(static_cast<size_t>(depth));
    if (e.info.is_dir) {
      stack.push_back(stack.back() + e.name + "\\");
      return !e.info.is_link;
    }
    const std::string path = stack.back() + e.name;
    if (!used && EndsWithDbf(e.name) && WdbaseIsInUse(path.c_str())) {
      used = true;
      *which = path;
    }
    return false;
  });
  return used;
}

int64_t CountTables(const std::string& dir) {
  int64_t n = 0;
  E()->WalkTree(dir, [&n](int, const platform::DirEntry& e) {
    if (!e.info.is_dir && EndsWithDbf(e.name)) ++n;
    return e.info.is_dir && !e.info.is_link;
  });
  return n;
}

// What the scan callback needs.
struct ScanCtx {
  Wy_GDataChild* child = nullptr;
  Wy_GDataChild::BuildState* b = nullptr;
  int64_t done = 0, total = 0;
  bool failed = false;
  bool local = false;  // reached the local directory: the levels are done
};

// The destination's name for a directory of the staging tree (for the log).
std::string DestinationName(const Wy_GDataChild::BuildState& b,
                            const std::string& dir) {
  if (dir.size() >= b.staging.size() &&
      mr::SameNoCase(dir.substr(0, b.staging.size()), b.staging))
    return b.dst + dir.substr(b.staging.size());
  return dir;
}

}  // namespace

void Wy_GDataChild::SetApplyHook(ApplyHook hook) { g_applyHook = hook; }

namespace {

int ScanTable(Wdbase* db, void* vctx, int phase, int table, int32_t prd,
              int32_t spd) {
  ScanCtx& c = *static_cast<ScanCtx*>(vctx);
  if (phase > 3) {  // the local directory is never part of a child
    c.local = true;
    return 0;
  }
  const std::string dir = db->GetPath() ? db->GetPath() : "";
  std::string name = db->GetName(0) ? db->GetName(0) : "";
  const size_t sep = name.find_last_of("\\/");
  if (sep != std::string::npos) name = name.substr(sep + 1);
  db->Close();  // the rules open the table themselves
  const std::string shown = DestinationName(*c.b, dir);
  mr::SendProgress(c.b->window, mr::kProgressOverall,
                   mr::Percent(c.done, c.total), shown.c_str());
  mr::SendProgress(c.b->window, mr::kProgressText, mr::kProgressShowText,
                   (shown + name).c_str());
  const int r = g_applyHook
                    ? g_applyHook(*c.child, dir.c_str(), table, prd, spd)
                    : c.child->Card_Apply(dir.c_str(), table, prd, spd);
  ++c.done;
  if (r == 1 || r == -1) Wy_GDataChildLog(phase, shown, name, r == -1);
  if (r == -1) {
    c.failed = true;
    return 0;
  }
  return 1;
}

}  // namespace

int Wy_GDataChild::CreateChild(const void* window, bool copyFirst) {
  if (m_notInit || m_src.empty() || m_dst.empty()) return 0;
  mr::SendProgress(window, mr::kProgressOverall, 0, nullptr);
  mr::SendProgress(window, mr::kProgressTable, 100, nullptr);
  mr::SendProgress(window, mr::kProgressText, mr::kProgressReset, nullptr);
  BuildState b;
  b.window = window;
  const int r = Build(b, copyFirst);
  if (r != 1) {
    // Nothing of a failed build stays: the staging tree goes, the
    // destination was never touched.
    if (b.stagingLock) {
      mixtable::child::ClearExceptLock(b.staging);
      b.stagingLock->Complete();
      b.stagingLock.reset();
      E()->DeleteTree(b.staging);
    }
    if (b.dstLock) b.dstLock->Complete();
    Wy_GDataChildLogNote("child " + m_dst + " not built (" + std::to_string(r) +
                         ")");
  }
  mr::SendProgress(window, mr::kProgressOverall, 100, nullptr);
  mr::SendProgress(window, mr::kProgressTable, 100, nullptr);
  mr::SendProgress(window, mr::kProgressText, mr::kProgressReset, nullptr);
  return r;
}

namespace {

// Removes a product or sub-product directory of the staging tree: only
// strictly inside it, never a link or a nested data set.
bool PruneDir(const Wy_GDataChild::BuildState& b, const std::string& dir) {
  const std::string host = HostOf(dir);
  if (host.empty() || host == b.stagingHost || !HostInside(host, b.stagingHost))
    return false;
  platform::FileInfo info;
  if (!E()->GetFileInfo(dir, &info).ok()) return true;  // already gone
  if (info.is_link || !info.is_dir || E()->FileExists(dir + "PARAM.DBF") ||
      E()->FileExists(dir + "CNTS.DBF"))
    return false;
  return E()->DeleteTree(dir).ok();
}

// Applies the PRUNE cards with the product tree read before any rule ran.
// False when a directory that must go could not be removed or the tree
// could not be read to its end.
bool Prune(const Wy_GDataChild::BuildState& b, const mr::LevelTree& tree,
           const std::vector<std::string>& cards) {
  std::set<int32_t> prds;
  std::set<std::pair<int32_t, int32_t>> subs;
  for (const std::string& c : cards) {
    Wy_GDataChild::Card card;
    if (!Wy_GDataChild::Card_Fill(c, card) ||
        !mr::SameNoCase(card.key, kCardKeyPrune))
      continue;
    const std::string& s = card.section;
    if (s.size() != kCardSectionLen ||
        s.find_first_not_of("0123456789") != std::string::npos)
      continue;
    const int32_t p = std::atoi(s.substr(0, 4).c_str());
    const int32_t q = std::atoi(s.substr(4).c_str());
    if (p > 0 && q == 0) prds.insert(p);
    if (p > 0 && q > 0) subs.insert({p, q});
  }
  if (prds.empty() && subs.empty()) return true;
  if (tree.products == mr::TableRead::kFailed) return false;
  // Directories that stay: those of products and sub-products not pruned.
  std::vector<std::string> kept;
  for (const mr::ProductLevel& pl : tree.prds) {
    if (prds.count(pl.id)) continue;
    kept.push_back(pl.dir);
    for (const mr::SubLevel& sl : pl.subs)
      if (!subs.count({pl.id, sl.id})) kept.push_back(sl.dir);
  }
  auto shared = [&kept](const std::string& dir) {
    for (const std::string& k : kept)
      if (mr::SameNoCase(k, dir)) return true;
    return false;
  };
  bool ok = true;
  for (int32_t p : prds) {
    const mr::ProductLevel* pl = tree.Product(p);
    if (pl == nullptr || pl->dir.empty()) continue;  // no record, no PATH
    if (shared(pl->dir)) {
      Wy_GDataChildLogNote("kept " + pl->dir + ": another product names it");
      continue;
    }
    if (!PruneDir(b, pl->dir)) ok = false;
  }
  for (const auto& [p, q] : subs) {
    const mr::ProductLevel* pl = tree.Product(p);
    if (pl == nullptr || pl->dir.empty()) continue;
    if (pl->subprods == mr::TableRead::kFailed) {
      ok = false;
      continue;
    }
    for (const mr::SubLevel& sl : pl->subs) {
      if (sl.id != q || sl.dir.empty()) continue;
      if (shared(sl.dir)) {
        Wy_GDataChildLogNote("kept " + sl.dir + ": another level names it");
        continue;
      }
      if (!PruneDir(b, sl.dir)) ok = false;
      break;
    }
  }
  return ok;
}

// Commits every file and directory of the staged tree to disk. The swap
// deletes the old child right after the rename, so a power cut must never
// find a child whose contents were still only in the host's cache. Links are
// never entered (the copy made none).
bool SyncTree(const std::string& dir) {
  std::vector<platform::DirEntry> entries;
  if (!E()->ListDir(dir, "*", &entries).ok()) return false;
  for (const platform::DirEntry& e : entries) {
    if (e.info.is_link) continue;
    const std::string path = dir + "\\" + e.name;
    if (e.info.is_dir) {
      if (!SyncTree(path)) return false;
      continue;
    }
    // A read-only file is committed through a read-only handle where the
    // host allows it.
    std::unique_ptr<platform::File> f;
    if (!E()->OpenFile(path, platform::OpenMode::kReadWrite, &f).ok() &&
        !E()->OpenFile(path, platform::OpenMode::kReadOnly, &f).ok())
      return false;
    if (!f->Sync().ok()) return false;
  }
  return E()->SyncDir(dir).ok();
}

// Moves the built tree into place: the old destination aside, the staging
// directory renamed in, the old tree deleted.
int Swap(Wy_GDataChild::BuildState& b) {
  if (!SyncTree(b.staging)) {
    Wy_GDataChildLogNote("the built child could not be committed to disk");
    return kChildFailed;
  }
  std::string used;
  if (b.dstExists && TreeInUse(b.dst, &used)) {
    Wy_GDataChildLogNote("swap refused: " + used + " is open");
    return kChildFailed;
  }
  if (b.dstExists && !E()->RenameFile(b.dst, b.aside, false).ok())
    return kChildFailed;
  if (!E()->RenameFile(b.staging, b.dst, false).ok()) {
    if (b.dstExists) E()->RenameFile(b.aside, b.dst, false);
    return kChildFailed;
  }
  const size_t cut = b.dst.find_last_of("\\/");
  if (cut != std::string::npos) E()->SyncDir(b.dst.substr(0, cut + 1));
  // The locks go with their directories; both runs saved nothing.
  b.stagingLock->Complete();
  if (b.dstLock) b.dstLock->Complete();
  b.stagingLock.reset();
  b.dstLock.reset();
  // A leftover is removed by the next build.
  if (b.dstExists) E()->DeleteTree(b.aside);
  return 1;
}

}  // namespace

int Wy_GDataChild::Build(BuildState& b, bool copyFirst) {
  int r = CopyGData(b, copyFirst);
  if (r != 1) return r;
  const std::string root = b.staging + "\\";
  // Directories are pruned by the PATHs the copy holds before any rule.
  const mr::LevelTree tree = mr::LoadLevelTree(root);
  CMixtableEx set;
  set.SetDataDir(root.c_str());
  if (set.GetParamGdataId(false) == 0) return -2;
  Card_Sort();
  if (m_newId) {
    if (m_id.empty()) return -2;
    if (!set.SetParamGdataId(m_id.c_str(), CMixtableEx::GetSignature().c_str(),
                             false))
      return -3;
    set.CloseAll();
    if (set.GetParamGdataId(false) == 0) return -2;
  }
  set.CloseAll();
  bool rules = false;
  for (const std::string& c : m_cards) rules = rules || IsRuleKey(Key(c));
  if (rules) {
    if (!Prune(b, tree, m_cards)) {
      Wy_GDataChildLogNote("a PRUNE card could not be applied");
      return kChildFailed;
    }
    ScanCtx ctx;
    ctx.child = this;
    ctx.b = &b;
    ctx.total = CountTables(b.staging);
    // A walk that did not reach its end (another walk of this process was
    // running) applied not every rule.
    const bool walked = set.Scan(&ScanTable, &ctx, 0) == 1 || ctx.local;
    set.CloseAll();
    if (ctx.failed || !walked) return kChildFailed;
  }
  if (!Trimmed(m_descr).empty()) {
    if (!set.SetGdataDescr(m_descr.c_str())) return -3;
    set.CloseAll();
  }
  return Swap(b);
}
