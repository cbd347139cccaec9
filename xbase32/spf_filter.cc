// The special filter: building, keeping current and removing the special
// indexes (navigation and positions: spf_filter_nav.cc).

#include "spf_filter.h"

#include <cerrno>
#include <cstdio>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "ntx_build.h"
#include "ntx_file.h"
#include "ntx_format.h"
#include "platform/env.h"
#include "spf_index.h"

namespace xbase32 {
namespace {

constexpr const char* kRecnoPart = "STR(RECNO(),5,0)";
// File names tried before giving up.
constexpr int kNameAttempts = 1000;

void ReportParse(const ExprError& err) {
  ReportError(err.code, err.details[0].c_str(), err.details[1].c_str(),
              err.details[2].c_str());
}

}  // namespace

SpecialFilter::SpecialFilter(DbfFile* data, std::string dir)
    : data_(data),
      dir_(std::move(dir)),
      table_(std::make_unique<DbfExprTable>(data)) {
  platform::Env* env = platform::Env::Current();
  name_seed_ = env->NowMicros() ^
               (static_cast<uint64_t>(env->CurrentProcessId()) << 32) ^
               reinterpret_cast<uintptr_t>(this);
  if (name_seed_ == 0) name_seed_ = 1;
}

SpecialFilter::~SpecialFilter() {
  RemoveAll();
  UnregisterOwner(this);
}

std::string SpecialFilter::path(int s) const {
  const Slot* sl = slot(s);
  return sl ? sl->path : std::string();
}

std::string SpecialFilter::expression(int s) const {
  const Slot* sl = slot(s);
  return sl ? sl->expr : std::string();
}

bool SpecialFilter::KeyPart(const OrderKey& order, Slot* sl,
                            std::string* part) {
  if (order.number == 0) {
    *part = kRecnoPart;
    return true;
  }
  // A pending unknown-field error of the data file is forgotten first.
  ClearError();
  ExprError err;
  std::unique_ptr<Expr> e = Expr::Parse(table_.get(), order.expr.c_str(), &err);
  if (!e) {
    ReportParse(err);
    return false;
  }
  switch (e->type()) {
    case 'C':
      *part = order.expr + "+" + kRecnoPart;
      return true;
    case 'D':
    case 'd':
      *part = "DTOS(" + order.expr + ")+" + kRecnoPart;
      return true;
    case 'N':
    case 'n': {
      // The numeric key form (as the order's index stores it) comes from a
      // CX routine: it sorts like the numbers, negative ones included.
      auto num = std::make_unique<NumericKeyPart>();
      num->table = std::make_unique<DbfExprTable>(data_);
      num->expr = Expr::Parse(num->table.get(), order.expr.c_str(), &err);
      if (!num->expr || !KeyInfoOf(*num->expr, &num->info)) {
        ReportParse(err);
        return false;
      }
      num->handle = RegisterCxRoutine(NumericKeyRoutine, num.get(), sl);
      if (num->handle == 0) {
        ReportError(kErrMemory, "special filter", "CX routine");
        return false;
      }
      char cx[64];
      std::snprintf(cx, sizeof cx, "CX(%d,\"%lu\",\"0\")+", num->info.length,
                    static_cast<unsigned long>(num->handle));
      *part = std::string(cx) + kRecnoPart;
      sl->numeric = std::move(num);
      return true;
    }
    default:
      ReportError(kErrSubExprType, order.expr.c_str(),
                  "special filter: the order's key is not text, number or "
                  "date");
      return false;
  }
}

bool SpecialFilter::Build(const OrderKey& order, const std::string& cond,
                          bool inverted) {
  const int s = order.number;
  if (s < 0 || s >= kSpfOrders) {
    ReportError(kErrParameter, "special filter: order out of range");
    return false;
  }
  const int32_t count = data_->Count();
  if (count < 0) return false;
  if (count >= kSpfMaxRecords) {
    ReportError(kErrParameter,
                "special filter: tables of 100000 records or more are not "
                "supported",
                data_->path().c_str());
    return false;
  }
  if (!Remove(s)) return false;
  inverted_[static_cast<size_t>(s)] = inverted;

  ExprError err;
  std::unique_ptr<Expr> c = Expr::Parse(table_.get(), cond.c_str(), &err);
  if (!c) {
    ReportParse(err);
    return false;
  }
  if (c->type() != 'L') {
    ReportError(kErrSubExprType, cond.c_str(),
                "special filter: the condition is not logical");
    return false;
  }
  auto sl = std::make_unique<Slot>();
  sl->order = s;
  std::string part;
  if (!KeyPart(order, sl.get(), &part)) return false;
  sl->descend =
      inverted != (order.index != nullptr && order.index->descending());
  if (sl->descend) part = "DESCEND(" + part + ")";
  std::unique_ptr<Expr> k = Expr::Parse(table_.get(), part.c_str(), &err);
  if (!k) {
    ReportParse(err);
    return false;
  }
  if (k->type() != 'C' || k->length() <= 0 ||
      k->length() > ntx::kMaxCreateKeyLength) {
    ReportError(kErrInfo, "Corrupt NTX Clipper index file", part.c_str());
    return false;
  }
  // The high-value key and the CX call that produces it.
  sl->high.assign(static_cast<size_t>(k->length()), '\xFF');
  sl->high_text = RegisterText(sl->high.c_str(), sl.get());
  if (high_routine_ == 0) {
    high_routine_ = RegisterCxRoutine(HighValueRoutine, nullptr, this);
  }
  if (sl->high_text == 0 || high_routine_ == 0) {
    ReportError(kErrMemory, "special filter", "CX routine");
    return false;
  }
  char cx[64];
  std::snprintf(cx, sizeof cx, "CX(%d,\"%lu\",\"%lu\")", k->length(),
                static_cast<unsigned long>(high_routine_),
                static_cast<unsigned long>(sl->high_text));
  sl->expr = "IIF(" + cond + "," + part + "," + cx + ")";
  if (sl->expr.size() > static_cast<size_t>(ntx::kMaxExprLength)) {
    ReportError(kErrNotIndex,
                "expression source length > max allowable chars for index",
                sl->expr.c_str());
    return false;
  }
  std::unique_ptr<Expr> full =
      Expr::Parse(table_.get(), sl->expr.c_str(), &err);
  if (!full) {
    ReportParse(err);
    return false;
  }
  if (!CreateFile(s, &sl->path)) return false;
  if (!BuildIndex(sl.get())) {
    platform::Env::Current()->DeleteFile(sl->path);
    return false;
  }
  slots_[static_cast<size_t>(s)] = std::move(sl);
  if (!Measure(slot(s))) {
    Remove(s);
    return false;
  }
  return true;
}

bool SpecialFilter::CreateFile(int s, std::string* path) {
  platform::Env* env = platform::Env::Current();
  const platform::LocalTime t = env->Now();
  char name[16];
  std::snprintf(name, sizeof name, "SPF%1d%c%c%c%c", s,
                '0' + t.minute / 10 % 10, '0' + t.minute % 10,
                '0' + t.second / 10 % 10, '0' + t.second % 10);
  platform::Status st;
  std::string candidate;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (attempt > 0) {
      // xorshift: another name when this one is taken.
      name_seed_ ^= name_seed_ << 13;
      name_seed_ ^= name_seed_ >> 7;
      name_seed_ ^= name_seed_ << 17;
      std::snprintf(name, sizeof name, "SPF%1d%04d", s,
                    static_cast<int>(name_seed_ % 10000));
    }
    candidate = dir_ + name + ".NTX";
    std::unique_ptr<platform::File> f;
    // Created exclusively: two processes never take the same name.
    st = env->OpenFile(candidate, platform::OpenMode::kCreateNew, &f);
    if (st.ok()) {
      *path = candidate;
      return true;
    }
    if (st.code() != EEXIST) break;
  }
  ReportError(kErrCreate, "File Name:", candidate.c_str(),
              st.ToString().c_str());
  return false;
}

void SpecialFilter::TakeStamps(Slot* sl) const {
  sl->has_counter = data_->ChangeStamps(&sl->counter, &sl->own);
  sl->rewrites = data_->rewrites();
  sl->records = data_->Count();
}

bool SpecialFilter::Stale(const Slot* sl) const {
  uint64_t counter = 0;
  uint64_t own = 0;
  if (data_->ChangeStamps(&counter, &own)) {
    // Moves of the counter that this handle's writes do not explain.
    if (!sl->has_counter || counter - sl->counter != own - sl->own) {
      return true;
    }
  } else if (data_->Count() != sl->records) {
    // No shared counter (turned off, or a file on another machine): a
    // different record count is the one sign of other writers left. This
    // handle's own appends also rebuild the index then; rewrites in place
    // by others stay unseen.
    return true;
  }
  return data_->rewrites() != sl->rewrites;
}

bool SpecialFilter::BuildIndex(Slot* sl) {
  // Stamps first: a change during the build shows as stale afterwards.
  TakeStamps(sl);
  const int32_t back = data_->recno();
  const bool at_eof = data_->eof();
  const bool built = BuildNtx(data_, sl->path, sl->expr, NtxBuildOptions());
  // The build read every record: back to the one that was current.
  if (at_eof) {
    data_->GoEof();
  } else if (back > 0 && back <= data_->Count()) {
    data_->Go(back);
  }
  if (!built) return false;
  std::unique_ptr<NtxFile> ix = NtxFile::Open(data_, sl->path);
  if (!ix) return false;
  sl->index = std::move(ix);
  sl->hook = std::make_unique<SpecialIndexHook>(sl->index.get(), &sl->changed);
  data_->AttachIndex(sl->hook.get());
  sl->measured = false;
  sl->changed = false;
  return true;
}

void SpecialFilter::CloseIndex(Slot* sl) {
  if (sl->hook) data_->DetachIndex(sl->hook.get());
  if (sl->index) sl->index->Close();
  sl->hook.reset();
  sl->index.reset();
}

bool SpecialFilter::Remove(int s) {
  Slot* sl = slot(s);
  if (sl == nullptr) return true;
  CloseIndex(sl);
  platform::Env* env = platform::Env::Current();
  const std::string path = sl->path;
  slots_[static_cast<size_t>(s)].reset();
  platform::Status st = env->DeleteFile(path);
  if (!st.ok() && env->FileExists(path)) {
    ReportError(kErrRemove, path.c_str(), st.ToString().c_str());
    return false;
  }
  return true;
}

bool SpecialFilter::RemoveAll() {
  bool ok = true;
  for (int s = 0; s < kSpfOrders; ++s) ok = Remove(s) && ok;
  return ok;
}

bool SpecialFilter::Lock() {
  bool ok = true;
  for (auto& sl : slots_) {
    if (sl && sl->hook) ok = sl->hook->Lock() && ok;
  }
  return ok;
}

bool SpecialFilter::Unlock() {
  bool ok = true;
  for (auto& sl : slots_) {
    if (sl && sl->hook) ok = sl->hook->Unlock() && ok;
  }
  return ok;
}

bool SpecialFilter::RebuildAll() {
  bool ok = true;
  for (int s = 0; s < kSpfOrders; ++s) {
    Slot* sl = slot(s);
    if (sl == nullptr) continue;
    const bool held = sl->hook && sl->hook->user_held();
    CloseIndex(sl);
    if (!BuildIndex(sl) || (held && !sl->hook->Lock()) || !Measure(sl)) {
      Remove(s);
      ok = false;
    }
  }
  return ok;
}

bool SpecialFilter::Refresh(int s, bool positions) {
  Slot* sl = slot(s);
  if (sl == nullptr || !sl->index) return false;
  if (!data_->WritePending()) return false;
  const int32_t count = data_->Count();
  if (count < 0) return false;
  if (count >= kSpfMaxRecords) {
    ReportError(kErrParameter,
                "special filter: tables of 100000 records or more are not "
                "supported",
                data_->path().c_str());
    return false;
  }
  if (Stale(sl)) {
    const bool held = sl->hook->user_held();
    CloseIndex(sl);
    if (!BuildIndex(sl)) return false;
    if (held && !sl->hook->Lock()) return false;
  }
  if (positions && (!sl->measured || sl->changed)) return Measure(sl);
  return true;
}

bool SpecialFilter::Measure(Slot* sl) {
  const int32_t count = data_->Count();
  if (count < 0) return false;
  const int32_t step = count >= kSpfSampleFrom ? count / kSpfMaxSamples : 0;
  const size_t n = sl->high.size();
  sl->samples.clear();
  sl->limit = kSpfAllMatch;
  int32_t pos = 0;
  // The matching entries come first: the walk ends at the first
  // high-value key.
  for (int32_t r = sl->index->First(); r != 0; r = sl->index->Next()) {
    if (r < 0) return false;
    ++pos;
    const char* key = sl->index->cursor_key();
    if (key == nullptr) return false;
    if (IsHigh(sl, key)) {
      sl->limit = pos == 1 ? kSpfNoMatch : pos;
      break;
    }
    if (step > 0 && (pos - 1) % step == 0 &&
        sl->samples.size() < static_cast<size_t>(kSpfMaxSamples)) {
      sl->samples.push_back({std::string(key, n), r, pos});
    }
  }
  sl->measured = true;
  sl->changed = false;
  return true;
}

}  // namespace xbase32
