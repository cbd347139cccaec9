// Wdbase: construction, the file-set definition and the files on disk.

#include <cctype>
#include <cstring>
#include <new>

#include "dbf_file.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/expr_registry.h"
#include "file_set.h"
#include "filter_access.h"
#include "memo_file.h"
#include "platform/env.h"
#include "relation.h"
#include "table_files.h"
#include "table_use.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

namespace xbase32 {
namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string NormalisePath(const char* path) {
  if (path == nullptr || *path == '\0') return ".\\";
  std::string p = Lower(path);
  if (!IsSeparator(p.back())) p += '\\';
  return p;
}

bool NormaliseFileName(const std::string& name, const char* ext,
                       std::string* out) {
  std::string n = Lower(name);
  const size_t dot = n.rfind('.');
  std::string base = dot == std::string::npos ? n : n.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : n.substr(dot + 1);
  if (dot == std::string::npos) {
    extension = ext;
    n += '.';
    n += ext;
  }
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  for (char c : n) {
    if (IsSeparator(c)) return false;
  }
  *out = n;
  return true;
}

}  // namespace xbase32

using xbase32::DbfFile;
using xbase32::FileSet;
using xbase32::ReportError;

Wdbase::Wdbase() {
  def_ = new FileSet;
  xbase32::LinkObject(this);
}

Wdbase::~Wdbase() {
  xbase32::ReleaseRelations(this);
  if (data_) Close();
  WdbaseFilterAccess::OnDestroy(this);
  delete def_;
  def_ = nullptr;
  xbase32::UnregisterOwner(this);  // the text tokens of this table end
  xbase32::UnlinkObject(this);
}

int Wdbase::SetFiles(const char* path, const char* name, int count,
                     const char* const* names, const char* const* exprs) {
  if (data_) return 0;
  WdbaseFilterAccess::QuitSpecial(this);
  *def_ = FileSet();
  if (name == nullptr || *name == '\0' || count < 0 ||
      count > xbase32::kMaxIndexes) {
    return 0;
  }
  std::string n = name;
  const size_t slash = n.find_last_of("\\/");
  std::string dir;
  if (slash != std::string::npos) {
    dir = n.substr(0, slash + 1);
    n = n.substr(slash + 1);
    def_->path = xbase32::NormalisePath(dir.c_str());
  } else {
    def_->path = xbase32::NormalisePath(path);
  }
  FileSet fs = *def_;
  bool ok = xbase32::NormaliseFileName(n, "dbf", &fs.name);
  for (int k = 0; ok && k < count; ++k) {
    const char* in = names ? names[k] : nullptr;
    const char* ex = exprs ? exprs[k] : nullptr;
    if (in == nullptr || ex == nullptr) {
      ok = false;
      break;
    }
    ok = xbase32::NormaliseFileName(in, "ntx", &fs.idx_names[k]);
    std::string e = ex;
    while (!e.empty() && std::isspace(static_cast<unsigned char>(e.back())))
      e.pop_back();
    for (char& c : e)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (e.empty()) ok = false;
    fs.idx_exprs[k] = e;
  }
  if (!ok) {
    *def_ = FileSet();
    return 0;
  }
  fs.count = count;
  *def_ = fs;
  return 1;
}

int Wdbase::SetFiles(const DB_DEF* def) {
  if (def == nullptr) return 0;
  return SetFiles(def->path, def->name, def->idx_count, def->idx_names,
                  def->idx_exprs);
}

int Wdbase::SetPath(const char* path) {
  if (data_ || path == nullptr) return 0;
  def_->path = xbase32::NormalisePath(path);
  return 1;
}

const char* Wdbase::GetPath() const { return def_->path.c_str(); }

const char* Wdbase::GetName(int k) const {
  if (k == 0) return def_->name.empty() ? nullptr : def_->name.c_str();
  if (k < 1 || k > def_->count) return nullptr;
  return def_->idx_names[k - 1].c_str();
}

int Wdbase::GetIdxCount() const { return def_->count; }

const char* Wdbase::GetIdxExpr(int k) const {
  if (k < 1 || k > def_->count) return nullptr;
  return def_->idx_exprs[k - 1].c_str();
}

int Wdbase::IdxNameToNumber(const char* name) const {
  if (name == nullptr) return 0;
  std::string n = name;
  for (char& c : n)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n.find('.') == std::string::npos) n += ".ntx";
  for (int k = 1; k <= def_->count; ++k) {
    if (def_->idx_names[k - 1] == n) return k;
  }
  return 0;
}

int Wdbase::Access(int k) const {
  if (GetName(k) == nullptr) return 0;
  return platform::Env::Current()->FileExists(def_->Full(k)) ? 1 : 0;
}

int64_t Wdbase::FileTime(int k) const {
  if (GetName(k) == nullptr) return 0;
  platform::FileInfo info;
  if (!platform::Env::Current()->GetFileInfo(def_->Full(k), &info).ok())
    return 0;
  return info.mtime;
}

int Wdbase::Unlink(int k) {
  if (data_ || GetName(k) == nullptr) return 0;
  platform::Env* env = platform::Env::Current();
  const std::string full = def_->Full(k);
  // Held while the files go: nobody opens the table meanwhile.
  bool in_use = false, missing = false;
  std::unique_ptr<platform::File> guard =
      xbase32::GuardTable(def_->Full(0), &in_use, &missing);
  if (in_use) {
    xbase32::ReportInUse(xbase32::kErrRemove, def_->Full(0));
    return 0;
  }
  const bool ok = env->DeleteFile(full).ok();
  if (k == 0) env->DeleteFile(xbase32::MemoPathFor(full));
  return ok ? 1 : 0;
}

int Wdbase::Rename(const char* newname, int k) {
  if (data_ || newname == nullptr || GetName(k) == nullptr) return 0;
  std::string target;
  if (!xbase32::NormaliseFileName(newname, k == 0 ? "dbf" : "ntx", &target)) {
    return 0;
  }
  platform::Env* env = platform::Env::Current();
  const std::string from = def_->Full(k);
  const std::string to = def_->path + target;
  // Onto its own name (in any case): nothing to do, and nothing may be
  // deleted as "the existing target".
  std::string host_from, host_to;
  if (to == from ||
      (env->HostPath(from, &host_from).ok() &&
       env->HostPath(to, &host_to).ok() && host_from == host_to)) {
    return 1;
  }
  // Neither the table nor a table about to be replaced may be open
  // elsewhere; the guards keep them closed until the names have changed.
  bool in_use = false, missing = false;
  std::unique_ptr<platform::File> guard =
      xbase32::GuardTable(def_->Full(0), &in_use, &missing);
  if (in_use) {
    xbase32::ReportInUse(xbase32::kErrRename, def_->Full(0));
    return 0;
  }
  std::unique_ptr<platform::File> target_guard;
  if (k == 0 && env->FileExists(to)) {
    target_guard = xbase32::GuardTable(to, &in_use, &missing);
    if (in_use) {
      xbase32::ReportInUse(xbase32::kErrRename, to);
      return 0;
    }
  }
  if (env->FileExists(to)) env->DeleteFile(to);
  // A file deleted under a guard keeps its name until the guard closes on
  // some hosts, and nothing can be renamed onto that name meanwhile.
  target_guard.reset();
  platform::Status s = env->RenameFile(from, to, true);
  if (!s.ok()) {
    ReportError(xbase32::kErrRename, from.c_str(), to.c_str());
    return 0;
  }
  // The memo file always follows its table (a table renamed without its
  // memo file would get an empty one on the next Open).
  if (k == 0) {
    const std::string mfrom = xbase32::MemoPathFor(from);
    const std::string mto = xbase32::MemoPathFor(to);
    if (env->FileExists(mfrom)) {
      if (env->FileExists(mto)) env->DeleteFile(mto);
      s = env->RenameFile(mfrom, mto, true);
      if (!s.ok()) {
        env->RenameFile(to, from, true);
        ReportError(xbase32::kErrRename, mfrom.c_str(), mto.c_str(),
                    s.ToString().c_str());
        return 0;
      }
    } else if (env->FileExists(mto)) {
      env->DeleteFile(mto);  // the replaced table's memo file
    }
  }
  return 1;
}

int Wdbase::CreateDb(const WDBASE_FIELD* fields) {
  xbase32::ClearError();
  if (data_ || fields == nullptr || fields[0].name[0] == '\0' ||
      def_->name.empty()) {
    return 0;
  }
  // Creating over a table another handle has open would wipe it under it.
  bool in_use = false, missing = false;
  std::unique_ptr<platform::File> guard =
      xbase32::GuardTable(def_->Full(0), &in_use, &missing);
  if (in_use) {
    xbase32::ReportInUse(xbase32::kErrCreate, def_->Full(0));
    return 0;
  }
  return DbfFile::Create(def_->Full(0), fields) ? 1 : 0;
}

int Wdbase::Open() {
  xbase32::ClearError();
  if (data_ || def_->name.empty()) return 0;
  // Out of memory anywhere while opening leaves the table closed: no
  // exception leaves the engine, and nothing half-open stays behind.
  auto close_partial = [this] {
    if (!data_) return;
    data_->Close();
    xbase32::CloseIndexes(this);
    delete data_;
    data_ = nullptr;
  };
  try {
    std::unique_ptr<DbfFile> d = xbase32::OpenShared(def_->Full(0));
    xbase32::NoticeLeftoverSet(def_->path, def_->Full(0), d != nullptr);
    if (!d) return 0;
    if (read_from_file_ >= 0) d->set_read_from_file(read_from_file_ != 0);
    data_ = d.release();
    def_->selected = 0;
    if (!xbase32::OpenIndexes(this)) {
      // An index that could not be created closes everything again.
      close_partial();
      return 0;
    }
    Top();
    return 1;
  } catch (const std::bad_alloc&) {
  }
  // Closing and reporting may need memory too; neither may throw out.
  try {
    close_partial();
  } catch (const std::bad_alloc&) {
    delete data_;
    data_ = nullptr;
  }
  try {
    ReportError(xbase32::kErrMemory, def_->Full(0).c_str());
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

int Wdbase::Close() {
  xbase32::ClearError();
  if (!data_) return 0;
  // Relations refer to the data file: this table leaves them first.
  xbase32::RelationTree::DetachEverywhere(this);
  // Special index files never outlive an orderly close.
  WdbaseFilterAccess::OnClose(this);
  bool ok = data_->Close();
  ok = xbase32::CloseIndexes(this) && ok;
  delete data_;
  data_ = nullptr;
  user_lock_ = false;
  return ok ? 1 : 0;
}

int Wdbase::CloseAll() {
  int ok = 1;
  for (Wdbase* w = xbase32::FirstObject(); w; w = xbase32::NextObject(w)) {
    if (w->data_ && !w->Close()) ok = 0;
  }
  return ok;
}

int Wdbase::IsOpen(int k) const {
  if (k == 0) return data_ ? 1 : 0;
  if (k < 1 || k > def_->count) return 0;
  return def_->idx_handles[k - 1] ? 1 : 0;
}

int Wdbase::IsClosed(int k) const {
  if (k == 0) return data_ ? 0 : 1;
  if (k < 0 || k > def_->count) return 1;
  return def_->idx_handles[k - 1] ? 0 : 1;
}

void* Wdbase::config() {
  xbase32::EngineConfig& c = xbase32::Config();
  return c.initialised ? &c : nullptr;
}
