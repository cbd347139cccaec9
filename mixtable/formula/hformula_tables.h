// Creating, bringing up to date and renumbering the archive and history
// tables. Internal to the tables library.

#ifndef MIXTABLE_FORMULA_HFORMULA_TABLES_H_
#define MIXTABLE_FORMULA_HFORMULA_TABLES_H_

#include <cstdint>

#include "xbase32/wdbase.h"

namespace hformula_impl {

// Whether the table db is defined on exists: its data file, or the old set
// an interrupted replacement left aside (which the next Open moves back).
bool TableExists(const Wdbase& db);

// Creates the table db (defined, closed) with fields; traces "\n%s Done."
// or "\n%s ERROR in db->CreateDb." with who. Never called for a table that
// exists (CreateDb would start it empty).
int CreateTable(Wdbase* db, const WDBASE_FIELD* fields, const char* who);

// Brings the table db (defined, closed; it exists) up to date with def,
// without loss: fields compared by name, type, width and decimals, a C or
// N field wider in the file matches (and keeps its width), fields def
// lacks are kept after def's, missing ones added; records and deleted
// marks are kept. A conversion copies the records into a unique work table
// under the whole-file lock and replaces the table crash-safely; it is
// refused while any handle has the table open. 1 when nothing was needed
// or the conversion succeeded; 0 (traced with who) when the table cannot
// be opened or converted. db ends closed.
int BringUpToDate(Wdbase* db, const WDBASE_FIELD* def, const char* who);

// Writes "%10lu" of id into DATAID of every record whose DATAID is blank or
// 0 (records of other data sets are left alone), under the whole-file lock
// with auto-flush off (restored and flushed on every path). 1 when every
// such record was written; db (defined, closed) ends closed.
int RewriteBlankDataIds(Wdbase* db, uint32_t id);

}  // namespace hformula_impl

#endif  // MIXTABLE_FORMULA_HFORMULA_TABLES_H_
