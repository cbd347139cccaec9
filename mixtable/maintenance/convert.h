// Structure conversion of one table: matching its fields against the
// dictionary (convert_match.cc), converting one value (convert_cell.cc) and
// copying the records into a work table that then replaces the table
// (convert_copy.cc). Internal to the tables library.

#ifndef MIXTABLE_MAINTENANCE_CONVERT_H_
#define MIXTABLE_MAINTENANCE_CONVERT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "xbase32/wdbase.h"

namespace mixtable {

// A field of the table being converted: its definition, 1-based number and
// the offset of its bytes from the first field of the record buffer.
struct ConvSource {
  std::string name;
  char type = 'C';
  int len = 0;
  int dec = 0;
  int number = 0;
  int offset = 0;
};

// One field of the converted table (the dictionary's, then the extras).
struct ConvTarget {
  WDBASE_FIELD def{};      // its definition in the converted table
  int source = 0;          // number of the source field; 0: inserted
  int dict = -1;           // dictionary index; -1 for an extra field
  bool convert = false;    // the value goes through the conversion table
  int32_t lossRecord = 0;  // first record whose value would not survive
  int32_t valued = 0;      // records holding a value (removed extras)
};

struct ConvPlan {
  std::vector<ConvSource> source;
  std::vector<ConvTarget> target;   // the dictionary's fields, then extras
  std::vector<ConvTarget> removed;  // extras left out on request
  bool widened = false;             // dictionary widths raised in memory
};

// The fields of an open table.
std::vector<ConvSource> DescribeSource(const Wdbase& db);

// Matches the dictionary fields dict (ending with an empty name) against
// plan->source: renames first, then by name (ignoring case). Without
// exact_widths a wider C or N source raises the dictionary width in dict
// (plan->widened). Fields no dictionary field matched become extras: kept
// after the dictionary's, or moved to plan->removed with remove_extra.
void MatchFields(WDBASE_FIELD* dict, const YTABLE_RENAMEFIELD* renames,
                 bool exact_widths, bool remove_extra, ConvPlan* plan);

// Whether the target differs from what the table holds: an inserted,
// renamed, converted or removed field.
bool PlanChanges(const ConvPlan& plan);

// One value of a source field: its bytes and, for a memo field, its text.
struct CellIn {
  char type = 'C';
  int len = 0;
  int dec = 0;
  const char* bytes = nullptr;
  const std::string* memo = nullptr;  // M and G sources
};

// Converts a value into the t.len bytes at tp by the conversion table
// (tp is overwritten whole). For an M target *memo_out receives the text
// (empty: no text) and tp is left blank. Answers whether the value reads
// back as before (blank stays blank, texts fit, numbers stay equal).
bool ConvertCell(const CellIn& in, const WDBASE_FIELD& t, char* tp,
                 std::string* memo_out);

// Whether a value is not blank (a memo: not empty).
bool CellHasValue(const CellIn& in);

// "%-6.6s: %-10.10s %c %3d.%d" of a tag and a definition.
std::string FieldLine(const char* tag, const char* name, char type, int len,
                      int dec);
// "%-6.6s: %-10.10s %c %3d.%d -> %-10.10s %c %3d.%d".
std::string ChangeLine(const char* tag, const ConvSource& from,
                       const WDBASE_FIELD& to);

// Canonical text of a decimal number ("-12.5" for " -012.50"); empty when
// text is not one ([+-]digits[.digits], blanks around).
std::string CanonicalNumber(const char* text, size_t n);

}  // namespace mixtable

#endif  // MIXTABLE_MAINTENANCE_CONVERT_H_
