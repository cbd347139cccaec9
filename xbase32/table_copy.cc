#include "table_copy.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "dbf_format.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "expr/number_format.h"
#include "file_set.h"
#include "memo_file.h"
#include "wdbase_access.h"

namespace xbase32 {
namespace {

// Records read at a time from the source in natural order.
constexpr size_t kChunkBytes = 256 * 1024;

char Kind(char type) {
  if (type == 'F') return 'N';
  if (type == 'G') return 'M';
  return type;
}

// Prints text right-aligned into the width bytes at tp, or fills them with
// "*" when it is longer.
void PutNumberText(const std::string& text, int width, char* tp) {
  if (static_cast<int>(text.size()) > width) {
    std::memset(tp, '*', static_cast<size_t>(width));
    return;
  }
  std::memset(tp, ' ', static_cast<size_t>(width - text.size()));
  std::memcpy(tp + width - text.size(), text.data(), text.size());
}

// v printed as "%*ld" (dec 0) or "%*.*lf" for a field of width and dec.
void PutNumber(double v, int width, int dec, char* tp) {
  if (!std::isfinite(v)) {
    std::memset(tp, '*', static_cast<size_t>(width));
    return;
  }
  if (v == 0) v = 0;  // no "-0"
  std::string text;
  if (dec == 0) {
    const double t = std::trunc(v);
    if (std::fabs(t) >= 9.2e18) {
      std::memset(tp, '*', static_cast<size_t>(width));
      return;
    }
    text = std::to_string(static_cast<long long>(t));
  } else {
    const int n = std::snprintf(nullptr, 0, "%.*f", dec, v);
    text.resize(static_cast<size_t>(n) + 1);
    std::snprintf(text.data(), text.size(), "%.*f", dec, v);
    text.resize(static_cast<size_t>(n));
  }
  PutNumberText(text, width, tp);
}

// Appends one record to target built from the source record rec.
bool CopyOne(DbfFile* sd, const char* rec, Wdbase* target, DbfFile* td,
             const std::vector<FieldCopy>& copies, std::string* text) {
  if (!target->AppendBlank()) return false;
  char* out = target->RecordBufferPtr() - 1;
  out[0] = rec[0];
  for (const FieldCopy& c : copies) {
    const FieldDesc& s = sd->field(c.from);
    const FieldDesc& t = td->field(c.to);
    switch (c.kind) {
      case FieldCopy::kBytes:
        std::memcpy(out + t.offset, rec + s.offset,
                    static_cast<size_t>(std::min(s.width, t.width)));
        break;
      case FieldCopy::kConvert:
        ConvertField(s, rec + s.offset, t, out + t.offset);
        break;
      case FieldCopy::kMemo: {
        text->clear();
        const uint32_t block = MemoFieldBlock(rec + s.offset, s.width);
        // Losing a text silently would be worse than stopping the copy.
        if (block > 0 && sd->has_memo() &&
            !MemoFile(sd->memo_file()).ReadText(block, text)) {
          return false;
        }
        if (!text->empty() &&
            !target->MemoWrite(c.to, text->data(),
                               static_cast<unsigned>(text->size()))) {
          return false;
        }
        break;
      }
    }
  }
  return target->RecordBufferWrite() != 0;
}

}  // namespace

bool ConvertField(const FieldDesc& s, const char* sp, const FieldDesc& t,
                  char* tp) {
  const char from = Kind(s.type);
  switch (Kind(t.type)) {
    case 'C':
      if (from != 'C' && from != 'N' && from != 'D' && from != 'L') {
        return false;
      }
      std::memcpy(tp, sp, static_cast<size_t>(std::min(s.width, t.width)));
      return true;
    case 'N':
      if (from == 'C' || from == 'N') {
        PutNumber(ParseDouble(sp, static_cast<size_t>(s.width)), t.width, t.dec,
                  tp);
        return true;
      }
      if (from == 'L') {
        const char c = s.width > 0 ? static_cast<char>(std::toupper(
                                         static_cast<unsigned char>(sp[0])))
                                   : ' ';
        PutNumber(c == 'T' || c == 'Y' ? 1 : 0, t.width, t.dec, tp);
        return true;
      }
      return false;
    case 'D':
    case 'L':
      if (from != Kind(t.type)) return false;
      std::memcpy(tp, sp, static_cast<size_t>(std::min(s.width, t.width)));
      return true;
    default:
      return false;
  }
}

bool CopyRecords(Wdbase* src, Wdbase* target,
                 const std::vector<FieldCopy>& copies, bool all_records) {
  DbfFile* sd = WdbaseAccess::Data(src);
  DbfFile* td = WdbaseAccess::Data(target);
  if (sd == nullptr || td == nullptr) return false;
  const int flush = Wdbase::FlushSet(0);
  std::string text;
  bool ok = true;
  if (all_records) {
    const int32_t count = sd->Count();
    const size_t per = sd->record_length();
    const int32_t chunk =
        static_cast<int32_t>(std::max<size_t>(1, kChunkBytes / per));
    std::vector<char> buf(static_cast<size_t>(chunk) * per);
    ok = count >= 0;
    for (int32_t r = 1; ok && r <= count; r += chunk) {
      const int32_t want = std::min(chunk, count - r + 1);
      int32_t got = 0;
      ok = sd->ReadRecords(r, want, buf.data(), &got);
      if (ok && got < want) {
        ReportError(kErrRead, sd->path().c_str());
        ok = false;
      }
      for (int32_t i = 0; ok && i < got; ++i) {
        ok = CopyOne(sd, buf.data() + static_cast<size_t>(i) * per, target, td,
                     copies, &text);
      }
    }
  } else {
    for (int more = src->Top(); ok && more; more = src->Next()) {
      ok = CopyOne(sd, sd->record(), target, td, copies, &text);
    }
  }
  Wdbase::FlushSet(flush);
  return ok;
}

bool IndexesFit(const FileSet& def, const Wdbase* table) {
  const DbfFile* d = WdbaseAccess::Data(table);
  if (d == nullptr) return false;
  for (int k = 1; k <= def.count; ++k) {
    ExprError err;
    if (!Expr::Parse(d->expr_table(), def.idx_exprs[k - 1].c_str(), &err)) {
      ReportError(err.code, def.idx_exprs[k - 1].c_str(),
                  err.details[1].c_str(), def.Full(k).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace xbase32
