// The commands of xbtool, a tool for people who support shops: look into a
// DBF table, dump its records, create one and append records to it. Table
// contents are in the OEM code page; the tool talks UTF-8 to the terminal.
//
// Each command writes its normal output to out and answers 0, or writes one
// line "xbtool: ..." to err and answers non-zero.

#ifndef TOOLS_XBTOOL_COMMANDS_H_
#define TOOLS_XBTOOL_COMMANDS_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class Wdbase;

namespace xbtool {

// Header facts and the field descriptors.
int Info(const std::string& table, std::ostream& out, std::ostream& err);

// Every record with its flag byte: aligned columns, or CSV with a header
// line (flag column named "_FLAG"). With order (an index file beside the
// table) the records come in that index's order. With where (a condition
// in the expression language, UTF-8) only the records satisfying it, each
// preceded by its position "record n of m: " (CSV: a first column "_POS"
// with "record n of m").
int Dump(const std::string& table, bool csv, std::ostream& out,
         std::ostream& err, const std::string& order = "",
         const std::string& where = "");

// The record numbers a special filter on cond keeps (in the order of the
// index file order when given), one line "record n of m: #recno" each, and
// a last line "m of N records match".
int Filter(const std::string& table, const std::string& cond,
           const std::string& order, std::ostream& out, std::ostream& err);

// Creates a table from field descriptions "NAME:TYPE[:LEN[:DEC]]" (D, L and M
// need no length).
int Create(const std::string& table,
           const std::vector<std::string>& fields_text, std::ostream& out,
           std::ostream& err);

// Appends one record from "NAME=value" assignments (dates as CCYYMMDD,
// logicals as T/F/Y/N, numbers in decimal notation).
int Append(const std::string& table, const std::vector<std::string>& values,
           std::ostream& out, std::ostream& err);

// Evaluates an expression (in the terminal's UTF-8) on every record, or on
// record recno alone when recno > 0, printing "recno: result" lines.
int Expr(const std::string& table, const std::string& expr, int32_t recno,
         std::ostream& out, std::ostream& err);

// Creates (or builds anew) the index file index beside table with the key
// expression expr.
int Index(const std::string& table, const std::string& index,
          const std::string& expr, std::ostream& out, std::ostream& err);

// Seeks key (text, read as a number on a numeric index) in the index:
// prints "found: record N", "after: record N" (with the record's fields) or
// "end of file".
int Seek(const std::string& table, const std::string& index,
         const std::string& key, std::ostream& out, std::ostream& err);

// Verifies an index without changing anything: header geometry, key order,
// no page above its maximum, child offsets inside the file, no cycles, and
// every record present exactly once with its current key. Reports the first
// fault.
int Check(const std::string& table, const std::string& index, std::ostream& out,
          std::ostream& err);

// Opens table with the one index file index (its stored expression) and
// selects it. 0, or the failure written to err.
int OpenIndexed(::Wdbase* w, const std::string& table, const std::string& index,
                std::ostream& err);

// --- maintenance (maintenance_commands.cc) ----------------------------------
// With index non-empty the table is opened with that index file, which is
// then rebuilt along (other index files of the table go stale).

// Removes the records marked deleted and compacts the memo file.
int Pack(const std::string& table, const std::string& index, std::ostream& out,
         std::ostream& err);

// Removes records from..to (as the engine reads them), or every record
// without a range.
int Zap(const std::string& table, bool range, int32_t from, int32_t to,
        const std::string& index, std::ostream& out, std::ostream& err);

// Prints the memo text of field of record recno; with set non-null stores
// *set (UTF-8, stored in the table's code page) as the new text first.
int Memo(const std::string& table, int32_t recno, const std::string& field,
         const std::string* set, std::ostream& out, std::ostream& err);

// Inserts the field "NAME:TYPE:LEN[:DEC]" at position pos (0 or beyond the
// last field: at the end).
int AddField(const std::string& table, int pos, const std::string& field_text,
             std::ostream& out, std::ostream& err);

// Removes field pos.
int RemoveField(const std::string& table, int pos, std::ostream& out,
                std::ostream& err);

// Copies the records of src into dst, converting by field name. A missing
// dst is created first with the given fields "NAME:TYPE[:LEN[:DEC]]", or
// with src's fields when none are given.
int Copy(const std::string& src, const std::string& dst,
         const std::vector<std::string>& fields_text, std::ostream& out,
         std::ostream& err);

}  // namespace xbtool

#endif  // TOOLS_XBTOOL_COMMANDS_H_
