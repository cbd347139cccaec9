// Copying the records of one table into another, field by field: the
// common part of FieldAdd, FieldRemove and WdbaseCopyUpdateDb.
//
// For every source record one blank record is appended to the target, the
// source's flag byte is copied (deleted and selected marks are kept), the
// listed fields are filled in and the record is written. Memo texts are
// copied as texts (the target gets new blocks in its own memo file).

#ifndef XBASE32_TABLE_COPY_H_
#define XBASE32_TABLE_COPY_H_

#include <vector>

#include "xbase32/wdbase.h"

namespace xbase32 {

struct FieldDesc;
struct FileSet;

// How field from (1-based, source) reaches field to (1-based, target).
struct FieldCopy {
  enum Kind {
    kBytes,    // same type and width: the bytes as they are
    kConvert,  // by the conversion table of ConvertField
    kMemo,     // memo to memo: the text
  };
  int from;
  int to;
  Kind kind;
};

// Converts the source field s (bytes sp) into the target field t (bytes
// tp, blank on entry) by the conversion table of WdbaseCopyUpdateDb:
//   C, N, D, L -> C   bytes copied, cut to the target width
//   C, N -> N         text read as a number, printed right-aligned to the
//                     width ("%*ld" without decimals, "%*.*lf" with them)
//   L -> N            1 when the first byte is "T" or "Y", else 0, printed
//                     the same way
//   D -> D, L -> L    bytes copied
//   anything else     skipped
// A number that does not fit the target width fills it with "*". Answers
// whether the field was written.
bool ConvertField(const FieldDesc& s, const char* sp, const FieldDesc& t,
                  char* tp);

// Appends a copy of every record of src to target. With all_records the
// source is read in natural order, every record whatever the filter;
// otherwise from src's top in its current order, filters applied. The
// target must be open. Answers false (reported) when a record could not be
// read, appended or written.
bool CopyRecords(Wdbase* src, Wdbase* target,
                 const std::vector<FieldCopy>& copies, bool all_records);

// Whether every index expression of def can be parsed against the fields of
// table (open), so that the indexes can be built again once table takes
// def's place. Reports the first expression that cannot and answers false.
bool IndexesFit(const FileSet& def, const Wdbase* table);

}  // namespace xbase32

#endif  // XBASE32_TABLE_COPY_H_
