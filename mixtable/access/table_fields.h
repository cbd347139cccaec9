// Field readers shared by the loaders of formula records: each reads a field
// of the current record by name and answers a default when the table is
// closed, not on a record, or has no such field, so that optional fields
// never raise the engine's unknown-field report.

#ifndef MIXTABLE_ACCESS_TABLE_FIELDS_H_
#define MIXTABLE_ACCESS_TABLE_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "xbase32/wdbase.h"

namespace mixtable_fields {

// True when db is open and its current record is a real record.
bool OnRecord(const Wdbase* db);
// True when db has a field of that name.
bool Has(const Wdbase* db, const char* field);
// The field text trimmed at both ends, whole; "" when absent. With max > 0
// the text is cut to max characters (descriptions).
std::string Text(const Wdbase* db, const char* field, size_t max = 0);
// The field read as a classic decimal number / 32-bit id; 0 when absent.
double Number(const Wdbase* db, const char* field);
int32_t Id(const Wdbase* db, const char* field);
// A flag: "T", "t", "Y", "y" or any non-zero number give 1, else 0. Logical
// fields hold a letter and numeric ones a number, so both are understood.
int Flag(const Wdbase* db, const char* field);

}  // namespace mixtable_fields

#endif  // MIXTABLE_ACCESS_TABLE_FIELDS_H_
