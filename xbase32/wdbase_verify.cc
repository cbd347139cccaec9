// WdbaseIndexMatchesData: the keys of every record against a walk of the
// index tree.

#include "xbase32/wdbase_verify.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbf_file.h"
#include "file_set.h"
#include "ntx_file.h"
#include "wdbase_access.h"
#include "xbase32/wdbase.h"

int WdbaseIndexMatchesData(Wdbase* db, int k) {
  if (!db) return 0;
  xbase32::FileSet* def = WdbaseAccess::Def(db);
  xbase32::DbfFile* data = WdbaseAccess::Data(db);
  if (!def || !data || k < 1 || k > def->count ||
      def->idx_handles[k - 1] == nullptr)
    return 0;
  auto* ix = static_cast<xbase32::NtxFile*>(def->idx_handles[k - 1]);
  if (!data->WritePending()) return 0;
  const int32_t back = data->recno();
  const bool at_eof = data->eof();
  const int32_t count = data->Count();
  if (count < 0) return 0;

  // The key every record gives now (admitted: the filter lets it in).
  const size_t len = static_cast<size_t>(ix->key_info().length);
  std::vector<char> keys(static_cast<size_t>(count) * len);
  std::vector<uint8_t> admitted(static_cast<size_t>(count) + 1, 0);
  int64_t expected = 0;
  bool ok = true;
  for (int32_t n = 1; n <= count && ok; ++n) {
    if (!data->ReadRecord(n)) {
      ok = false;
      break;
    }
    if (ix->KeyOf(data->record(), n,
                  keys.data() + static_cast<size_t>(n - 1) * len)) {
      admitted[static_cast<size_t>(n)] = 1;
      ++expected;
    }
  }

  // Every entry names an admitted record once, with its key.
  std::vector<uint8_t> seen(static_cast<size_t>(count) + 1, 0);
  int64_t entries = 0;
  if (ok) {
    const std::string fault =
        ix->CheckTree([&](const char* key, uint32_t recno) {
          if (!ok) return;
          if (recno < 1 || recno > static_cast<uint32_t>(count) ||
              !admitted[recno] || seen[recno] ||
              std::memcmp(key, keys.data() + (recno - 1) * len, len) != 0) {
            ok = false;
            return;
          }
          seen[recno] = 1;
          ++entries;
        });
    if (!fault.empty()) ok = false;
  }

  // Back to the remembered record.
  if (count > 0) {
    if (!at_eof && back >= 1 && back <= count) {
      data->Go(back);
    } else {
      data->GoEof();
    }
  }
  return ok && entries == expected ? 1 : 0;
}
