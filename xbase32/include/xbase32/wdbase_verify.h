// WdbaseIndexMatchesData: whether an open index of a table needs no
// rebuild. Used by maintenance runs that would otherwise rebuild (and first
// back up) every index of a table they did not change.

#ifndef XBASE32_WDBASE_VERIFY_H_
#define XBASE32_WDBASE_VERIFY_H_

#include "xbase32/export.h"

class Wdbase;

// 1 when index k (1..index count) of the open table db is a sound tree
// (key order, page bounds, no page reached twice, leaves at one depth) that
// holds exactly one entry for every record its filter admits, each with
// the key the record gives now, and nothing else; 0 otherwise (a fault,
// a stale or missing entry, a record or page that cannot be read, db not
// open, k out of range). Reads only: no file changes, a fault of the tree
// is not reported (a failed read of the data file is, as any read); a
// pending record change is written first and the current record is kept.
// Memory: one key per record. The answer holds while no other process writes
// the table (callers running maintenance hold the data set's maintenance lock
// and have checked that no table is in use).
XBASE32_API int WdbaseIndexMatchesData(Wdbase* db, int k);

#endif  // XBASE32_WDBASE_VERIFY_H_
