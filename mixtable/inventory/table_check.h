// Creating an inventory table and bringing an existing one to its layout
// without losing anything. Internal to the tables library.
//
// Comparison: every field of the layout must be in the file (by name,
// ignoring case) with its type and decimals and at least its width; a C or
// N field wider in the file matches and keeps its width, fields the layout
// lacks are kept after the layout's. An update copies the records (deleted
// marks and memo texts included) through the engine's replacing copy: a
// uniquely named work table, the table's whole-file lock held during the
// copy, the old files set aside until the new ones are in place.

#ifndef MIXTABLE_INVENTORY_TABLE_CHECK_H_
#define MIXTABLE_INVENTORY_TABLE_CHECK_H_

#include <vector>

#include "xbase32/wdbase.h"

namespace mixtable_inventory {

enum class TableState {
  kMissing,  // no data file, nothing set aside: may be created
  kMatches,  // opens and matches the layout
  kDiffers,  // opens and needs an update
  kBroken,   // exists (or lies aside) but cannot be opened
};

// The state of the table defined in def (closed; its definition with the
// index files) against layout (ending with an empty name).
TableState CheckTable(const Wdbase& def, const WDBASE_FIELD* layout);

// Creates the table of def from layout. Only when its data file does not
// exist and no set-aside copy lies beside it. True when created.
bool CreateTable(Wdbase& def, const WDBASE_FIELD* layout);

// Brings the table of def (closed) to layout; the index files of def are
// deleted afterwards (the next Open builds them). True when the table
// matched already or was converted; false leaves it as it was.
bool UpdateTable(Wdbase& def, const WDBASE_FIELD* layout);

// The layout as a vector (with its closing empty entry).
std::vector<WDBASE_FIELD> CopyLayout(const WDBASE_FIELD* layout);

}  // namespace mixtable_inventory

#endif  // MIXTABLE_INVENTORY_TABLE_CHECK_H_
