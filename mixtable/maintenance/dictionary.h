// The dictionary file DataBase.DCT: reading one table's item from its lines.
// Internal to the tables library.

#ifndef MIXTABLE_MAINTENANCE_DICTIONARY_H_
#define MIXTABLE_MAINTENANCE_DICTIONARY_H_

#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"

namespace mixtable {

// Longest line the reader looks at; longer lines are cut there.
constexpr size_t kDictLineMax = 4095;

// Fills *item (which must be empty) with the definition of the table whose
// data file is table_file ("PRODUCTS" or "PRODUCTS.DBF", any case) from the
// lines of a dictionary file. The arrays are allocated with new[] and belong
// to the caller (FreeDictionaryItem). False, with *item left empty, when the
// first section does not define the table completely and consistently.
bool ParseDictionaryItem(const std::vector<std::string>& lines,
                         const std::string& table_file,
                         YTABLE_DICTIONARY* item);

// Reads the file (LF or CRLF line ends) and parses it as above; false when
// it cannot be read.
bool LoadDictionaryItem(const std::string& path, const std::string& table_file,
                        YTABLE_DICTIONARY* item);

// Frees the four arrays and nulls the pointers.
void FreeDictionaryItem(YTABLE_DICTIONARY* item);

// The print format of a field: "%1c" / "%Ns" for C, D and M, "%1d" for L,
// "%W.Df" / "%W.Dlf" / "%Wd" / "%Wld" for N; empty for other types.
std::string FieldPrintFormat(char type, int width, int dec);

}  // namespace mixtable

#endif  // MIXTABLE_MAINTENANCE_DICTIONARY_H_
