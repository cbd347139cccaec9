// Wdbase: the index operations: opening the
// defined indexes with their repair, CreateIdx, RebuildIdx, SelectIdx and
// Seek.

#include <cctype>
#include <cstring>
#include <string>

#include "dbf_file.h"
#include "engine.h"
#include "engine_error.h"
#include "file_set.h"
#include "filter_access.h"
#include "ntx_build.h"
#include "ntx_file.h"
#include "ntx_key.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "wdbase_access.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

using xbase32::DbfFile;
using xbase32::FileSet;
using xbase32::NtxFile;

namespace xbase32 {
namespace {

// An expression as Open compares it: upper case, trailing blanks removed,
// at most 79 characters.
std::string Comparable(const std::string& e) {
  std::string s = e.substr(0, 79);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
    s.pop_back();
  }
  for (char& c : s) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return s;
}

void CloseIndex(Wdbase* w, int k) {
  FileSet* def = WdbaseAccess::Def(w);
  NtxFile* ix = IndexOf(w, k);
  if (ix == nullptr) return;
  if (DbfFile* d = WdbaseAccess::Data(w)) d->DetachIndex(ix);
  ix->Close();
  delete ix;
  def->idx_handles[k - 1] = nullptr;
}

}  // namespace

bool OpenIndexes(Wdbase* w) {
  FileSet* def = WdbaseAccess::Def(w);
  DbfFile* d = WdbaseAccess::Data(w);
  platform::Env* env = platform::Env::Current();
  for (int k = 1; k <= def->count; ++k) {
    const std::string path = def->Full(k);
    std::unique_ptr<NtxFile> ix;
    if (env->FileExists(path)) ix = NtxFile::Open(d, path);
    if (!ix) {
      ReportError(0, "Warning : try to recreate index.");
      if (!w->CreateIdx(k)) return false;
      continue;
    }
    const std::string stored = Comparable(ix->expression());
    const std::string defined = Comparable(def->idx_exprs[k - 1]);
    if (stored != defined) {
      const std::string detail =
          "\"" + stored + "\" instead of \"" + def->idx_exprs[k - 1] + "\"";
      ReportError(0, "Error : wrong expression encountered.", detail.c_str(),
                  "Try to recreate index.");
      ix.reset();
      if (!w->CreateIdx(k)) return false;
      continue;
    }
    if (ix->LeftMarked()) {
      // A writer died part way through a change (or the table was replaced
      // under the index): the tree may not match the records.
      ReportError(kErrInfo, "Index left unfinished, rebuilt:", path.c_str());
      ix->Close();
      ix.reset();
      if (!w->CreateIdx(k)) return false;
      continue;
    }
    d->AttachIndex(ix.get());
    def->idx_handles[k - 1] = ix.release();
  }
  return true;
}

bool CloseIndexes(Wdbase* w) {
  FileSet* def = WdbaseAccess::Def(w);
  bool ok = true;
  for (int k = 1; k <= def->count; ++k) {
    NtxFile* ix = IndexOf(w, k);
    if (ix == nullptr) continue;
    if (DbfFile* d = WdbaseAccess::Data(w)) d->DetachIndex(ix);
    ok = ix->Close() && ok;
    delete ix;
    def->idx_handles[k - 1] = nullptr;
  }
  return ok;
}

}  // namespace xbase32

int Wdbase::CreateIdx(int k) {
  if (!Ready() || k < 1 || k > def_->count) return 0;
  if (!data_->WritePending()) return 0;
  const int32_t back = data_->recno();
  const bool at_eof = data_->eof();
  xbase32::CloseIndex(this, k);
  const std::string path = def_->Full(k);
  if (xbase32::BuildNtx(data_, path, def_->idx_exprs[k - 1],
                        xbase32::NtxBuildOptions())) {
    std::unique_ptr<NtxFile> ix = NtxFile::Open(data_, path);
    if (ix) {
      data_->AttachIndex(ix.get());
      def_->idx_handles[k - 1] = ix.release();
    }
  }
  // Back to the remembered record.
  const int32_t count = data_->Count();
  if (count > 0) {
    if (!at_eof && back >= 1 && back <= count) {
      data_->Go(back);
    } else {
      data_->GoEof();
    }
  }
  return IsOpen(k);
}

int Wdbase::RebuildIdx() {
  if (!Ready()) return 0;
  int ok = 1;
  for (int k = 1; k <= def_->count; ++k) {
    if (!CreateIdx(k)) ok = 0;
  }
  return ok;
}

int Wdbase::SelectIdx(int k) {
  if (!Ready() || k < 0 || k > def_->count) return 0;
  if (k > 0 && def_->idx_handles[k - 1] == nullptr) return 0;
  def_->selected = k;
  // The special filter follows the new order (its index is built when the
  // order has none yet).
  if (special_filter_ && !SpecialFilterReinit(true)) return 0;
  return 1;
}

int Wdbase::SelectedIdx() const { return def_->selected; }

namespace {

// Positions w on key in its selected index: 1 found, 2 after, 3 end of
// file, 0 failure. With a filter the filtered seek answers; sought_length
// is the length of the caller's text (0 for a number).
int SeekKey(Wdbase* w, NtxFile* ix, const std::string& key,
            size_t sought_length) {
  if (xbase32::FiltersActive(w)) {
    return xbase32::FilteredSeek(w, ix, key, sought_length);
  }
  DbfFile* d = WdbaseAccess::Data(w);
  int32_t recno = 0;
  const NtxFile::SeekResult r = ix->Seek(key, &recno);
  if (r == NtxFile::kSeekFailed) return 0;
  if (r == NtxFile::kEnd) {
    d->GoEof();
    return 3;
  }
  if (!d->Go(recno)) return 0;
  return r == NtxFile::kFound ? 1 : 2;
}

}  // namespace

int Wdbase::Seek(const char* key) {
  if (!Ready() || key == nullptr) return 0;
  NtxFile* ix = xbase32::SelectedIndex(this);
  if (ix == nullptr || !data_->WritePending()) return 0;
  std::string text = key;
  if (mode_ == Wdbase_OEMtoChar_On && !text.empty()) {
    platform::AnsiToOem(text.data(), text.size());
  }
  std::string k;
  if (!xbase32::SeekKeyFromText(ix->key_info(), text.data(), text.size(), &k)) {
    return 0;
  }
  return SeekKey(this, ix, k, text.size());
}

int Wdbase::Seek(double key) {
  if (!Ready()) return 0;
  NtxFile* ix = xbase32::SelectedIndex(this);
  if (ix == nullptr || !data_->WritePending()) return 0;
  std::string k;
  if (!xbase32::SeekKeyFromNumber(ix->key_info(), key, &k)) return 0;
  return SeekKey(this, ix, k, 0);
}
