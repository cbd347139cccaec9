// Pieces shared by the catalogue sources. Internal to the tables library.

#ifndef MIXTABLE_ACCESS_WY_CATALOG_IMPL_H_
#define MIXTABLE_ACCESS_WY_CATALOG_IMPL_H_

#include <cstdint>
#include <string>

#include "xbase32/wdbase.h"

namespace mixtable {

// Prepares db on the catalogue and opens it; false when there is no
// catalogue or it does not open.
bool OpenCatalog(Wdbase& db);
// Selects the CTLID index and seeks id ("%10lu"); true when found.
bool SeekCatalogId(Wdbase& db, uint32_t id);
// A field of the current record (at most max characters), trimmed of
// blanks, tabs and line ends; empty when missing.
std::string ReadCatalogField(const Wdbase& db, const char* field, int max);
// A field read as an unsigned decimal number.
uint32_t ReadCatalogId(const Wdbase& db, const char* field);
// "%10lu".
std::string CatalogIdText(uint32_t id);

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_WY_CATALOG_IMPL_H_
