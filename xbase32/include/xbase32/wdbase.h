// XBASE32: the storage engine of the formula data sets. One class, Wdbase,
// defines, creates, opens, reads, writes and navigates a DBF table (with its
// memo file and NTX indexes).
//
// Conventions of the whole interface:
//  * int results are 1 for success (or a true answer) and 0 for failure,
//    unless a method says otherwise; no exception leaves the library.
//  * Every operation on an open table first clears the engine's pending
//    error; the code of the last failure is kept (Wdbase::LastErrorCode)
//    and, at debug level 1 or 2, shown in a message box.
//  * Text handed in by callers is in the ANSI code page and is converted to
//    the OEM code page of the tables (and back on reading) while the object's
//    conversion mode is Wdbase_OEMtoChar_On (the default).
//  * Record numbers and counts are 32-bit.
//  * Not thread-safe: one object must not be used from two threads at once;
//    the process-wide state (object list, shared Read buffer, MakeDate
//    buffer, debug level, auto-flush switch) is unguarded.

#ifndef XBASE32_WDBASE_H_
#define XBASE32_WDBASE_H_

#include <cstdint>

#include "xbase32/export.h"

// The static definition of one table, owned by the caller. The engine reads
// only path, name, idx_count, idx_names and idx_exprs; the three user words
// are the caller's.
struct XBASE32_API DB_DEF {
  int32_t user1;
  int32_t user2;
  const char* path;  // default directory of the table (may be null)
  const char* name;  // data file name
  int32_t user3;
  int idx_count;             // 0..8
  const char* idx_names[8];  // index file names
  const char* idx_exprs[8];  // key expression of each index
};

// One field of a structure passed to CreateDb and WdbaseCopyUpdateDb; arrays
// end with an element whose name is empty. len is read as unsigned 16-bit (a
// C field may be up to 65534 wide).
struct XBASE32_API WDBASE_FIELD {
  char name[11];  // NUL-terminated, at most 10 characters
  char type;      // C, N, F, D, L, M or G
  int16_t len;
  int16_t dec;
  int16_t reserved;  // written as 0 (callers may keep a field number here)
};

// Text conversion mode of an object: 0 converts ANSI<->OEM, any other value
// switches conversion off.
enum Wdbase_OEMtoChar {
  Wdbase_OEMtoChar_On = 0,
  Wdbase_OEMtoChar_Off = 1,
};

namespace xbase32 {
class DbfFile;
struct FileSet;
struct RelationNode;
class RelationTree;
class FilterCache;
class SpecialFilter;
}  // namespace xbase32

class XBASE32_API Wdbase {
 public:
  // Record filter callback: answers non-zero to hide the current record.
  using FilterFunc = int (*)(const Wdbase*);
  // The same with the caller's pointer given to SetFilter.
  using FilterFuncWithData = int (*)(const Wdbase*, void* user);

  Wdbase();
  ~Wdbase();
  Wdbase(const Wdbase&) = delete;
  Wdbase& operator=(const Wdbase&) = delete;

  // --- definition and files ----------------------------------------------
  // Defines the table: directory, data file name and up to 8 index files
  // with their key expressions. A name containing "\" carries its own
  // directory (path is then ignored). Names follow the 8.3 rule. Fails when
  // open; a failure leaves an empty definition.
  int SetFiles(const char* path, const char* name, int count,
               const char* const* names, const char* const* exprs);
  int SetFiles(const DB_DEF* def);
  int SetPath(const char* path);
  const char* GetPath() const;       // normalised, ends with "\"
  const char* GetName(int k) const;  // 0 data file, 1..n index files
  int GetIdxCount() const;
  const char* GetIdxExpr(int k) const;  // 1..n
  int IdxNameToNumber(const char* name) const;
  int Access(int k) const;        // 1 when file k exists
  int64_t FileTime(int k) const;  // modification time (UTC seconds)
  // Unlink, Rename and CreateDb are refused (0, error -80, -90 or -20 with
  // a detail naming the table as in use) while any handle, of any process,
  // has the table open (see WdbaseIsInUse). Rename of the data file takes
  // the memo file along; onto the name it has already it does nothing
  // (answer 1).
  int Unlink(int k);
  int Rename(const char* newname, int k);
  // Creates the data file (and memo file) with these fields and closes it.
  int CreateDb(const WDBASE_FIELD* fields);
  // Opens the table and its indexes, holding the data file's "open" range
  // shared until Close. Before that it undoes what a crash left: a Pack or
  // Zap rolled back from its journal, an interrupted replacement moved back
  // (or its old set deleted when the new table is complete); an index left
  // unfinished by a crash is rebuilt. Each is reported with -910 and the
  // open goes on (answer 1). Waits while another process replaces the table.
  int Open();
  int Close();
  static int CloseAll();
  int IsOpen(int k) const;
  int IsClosed(int k) const;
  // Opaque pointer to the engine's global settings (null when the engine is
  // not initialised).
  static void* config();

  // --- indexes -------------------------------------------------------------
  // Builds index file k (1..n) anew from all records and keeps the current
  // record. Answers 1 when index k is open afterwards.
  int CreateIdx(int k);
  int RebuildIdx();      // CreateIdx for every index
  int SelectIdx(int k);  // 0 natural order, 1..n index order
  int SelectedIdx() const;
  // Positions on the first key >= key. Answers 1 found (the index key starts
  // with the text), 2 on the next greater key, 3 at end of file, 0 on
  // failure.
  int Seek(const char* key);
  int Seek(double key);

  // --- navigation ----------------------------------------------------------
  int Top();
  int Bottom();
  int Next();
  int Previous();
  int Skip(int32_t n);
  int Goto(int32_t recno);
  int Eof() const;
  int Bof() const;
  int32_t RecNo() const;
  int32_t RecCount() const;
  int32_t GetPosition() const;
  int SetPosition(int32_t pos);
  int32_t GetLastPosition() const;
  bool IsEmpty() const;

  // --- fields --------------------------------------------------------------
  int FieldCount() const;
  int FieldNo(const char* name) const;
  int FieldInfo(int k, char* name, char* type, int* len, int* dec) const;
  int FieldInfo(const char* field, char* type, int* len, int* dec) const;
  char FieldType(int k) const;
  char FieldType(const char* field) const;
  int FieldLen(int k) const;
  int FieldLen(const char* field) const;
  int FieldDec(int k) const;
  int FieldDec(const char* field) const;

  // Field text in a buffer shared by all objects, valid until the next Read;
  // no code-page conversion. Null on failure.
  const char* Read(int k, int ltrim = 0, int rtrim = 0) const;
  const char* Read(const char* field, int ltrim = 0, int rtrim = 0) const;
  int ReadString(int k, char* buf, int size, int ltrim = 0,
                 int rtrim = 0) const;
  int ReadString(const char* field, char* buf, int size, int ltrim = 0,
                 int rtrim = 0) const;
  int ReadBool(int k) const;
  int ReadBool(const char* field) const;
  char ReadChar(int k) const;
  char ReadChar(const char* field) const;
  int ReadInt(int k) const;
  int ReadInt(const char* field) const;
  int32_t ReadLong(int k) const;
  int32_t ReadLong(const char* field) const;
  float ReadFloat(int k) const;
  float ReadFloat(const char* field) const;
  double ReadDouble(int k) const;
  double ReadDouble(const char* field) const;

  int WriteString(int k, const char* text);
  int WriteString(const char* field, const char* text);
  int WriteChar(int k, char c);
  int WriteChar(const char* field, char c);
  int WriteInt(int k, int v);
  int WriteInt(const char* field, int v);
  int WriteLong(int k, int32_t v);
  int WriteLong(const char* field, int32_t v);
  int WriteFloat(int k, float v);
  int WriteFloat(const char* field, float v);
  int WriteDouble(int k, double v);
  int WriteDouble(const char* field, double v);

  // --- records -------------------------------------------------------------
  int AppendBlank();
  int Delete();
  int Recall();
  int Deleted() const;
  int Select();
  int Unselect();
  int Selected() const;
  int RecallAll();
  int UnselectAll();
  int RecordBufferLen() const;
  char* RecordBufferPtr();  // first field of the current record; writable
  int RecordBufferWrite();
  int Flush();
  static int FlushSet(int on);  // answers the previous setting
  static int FlushGet();
  // Locks the whole table until Unlock (waits while another process holds
  // it). Operations that release their own locks keep this one.
  int Lock();
  int Unlock();
  // Sharing mode. By default records, the record count and index pages are
  // kept in memory only while the change counter and the host's reports of
  // writes to the files prove them current (every writer on this machine,
  // in any container); elsewhere they are read from the file. on = 1 reads
  // from the file always, for tables also written through shared memory
  // mappings; 0 returns to the default; -1 only asks. Answers the previous
  // setting. Applies to the open table and to later Opens of this object;
  // the environment variable KALVO_READ_FROM_FILE=1 sets it for every
  // table of the process.
  int ReadFromFile(int on);

  // --- memo texts ------------------------------------------------------------
  uint32_t MemoLen(int k) const;
  uint32_t MemoLen(const char* field) const;
  // The text, NUL-terminated, in a buffer owned by the engine (valid until
  // the record changes); null at end of file or for an invalid field.
  const char* MemoPtr(int k) const;
  const char* MemoPtr(const char* field) const;
  // Copies min(length, size) bytes (and a NUL when there is room); answers
  // the full length.
  uint32_t MemoRead(int k, char* buf, unsigned size) const;
  uint32_t MemoRead(const char* field, char* buf, unsigned size) const;
  int MemoWrite(int k, const char* text, unsigned len);
  int MemoWrite(const char* field, const char* text, unsigned len);

  // --- maintenance ---------------------------------------------------------
  // Pack and Zap rewrite the table in place (other processes may keep it
  // open), journaled: a failure puts the table back as it was, a crash is
  // rolled back by the next Open. FieldAdd and FieldRemove rebuild the table
  // through a work table and are refused (0, -80, table named as in use)
  // while another handle has it open; the replacement is crash-safe (see
  // WdbaseReplaceTable). FieldAdd refuses the lengths CreateDb refuses.
  int Pack();
  int Zap();
  int Zap(int32_t from, int32_t to);
  int FieldAdd(int pos, const char* name, char type, int len, int dec);
  int FieldRemove(int pos);

  // --- record filter -------------------------------------------------------
  // A record filter hides the records its callback rejects from Top,
  // Bottom, Next, Previous, Skip and Seek (not while a special filter is
  // active). Requires an open table. With a special filter active and f
  // not null nothing changes (answer 1). The old cache is dropped; f null
  // removes the filter (answer 1). Otherwise f is installed; when it hides
  // the current record the table moves to the first accepted one, and the
  // answer is 0 when there is none (at end of file the table stays there,
  // answer 1). cache_size > 0 (rounded up to even, at
  // most 1 << 20; larger sizes are refused with -930 and change nothing)
  // adds a window of accepted record numbers filled from the current
  // position.
  int SetFilter(FilterFunc f, int cache_size = 0);
  // The same with a pointer handed to every call of f.
  int SetFilter(FilterFuncWithData f, void* user, int cache_size = 0);
  // The installed plain callback (null when none, or when the form with a
  // pointer is installed); *cache_size receives the cache size (0 without).
  FilterFunc GetFilter(int* cache_size = nullptr) const;
  FilterFuncWithData GetFilterWithData(void** user, int* cache_size) const;
  // Copies the cache's size, flags, current slot and a pointer to its
  // slots (owned by the table, valid until the cache changes; -1 marks an
  // empty slot) to the non-null outputs. 0 without a cache.
  int GetFilterCacheInfo(int* size, int* at_start, int* at_end, int* current,
                         const int32_t** slots) const;
  // With a record filter and a cache (and no special filter): fills the
  // cache again around the current record. 0 otherwise.
  int FillFilterCacheFromCurrentPosition();
  // 1 while a special filter is active. With a record filter and a cache:
  // finds the current record in the cache and derives the flags again;
  // 1 when the cache holds the record. Otherwise 0.
  int AligneFilterCache();

  // --- special filter ------------------------------------------------------
  // A special filter keeps only the records satisfying a logical condition
  // in the expression language, in the order of the selected index (or
  // natural order), and answers positions ("record n of m") quickly. It is
  // a temporary index "SPF?????.NTX" per order in the table's directory,
  // kept current by this handle's writes and rebuilt when another handle
  // changed the table; the files are deleted by SpecialFilterQuit, Close,
  // the destructor and SetFiles. Tables of 100 000 records or more are
  // refused (-930). When a move cannot refresh the special index (another
  // process grew the table to the limit, a file failed) the filter stays in
  // force: the table stands at end of file with the failure pending, and
  // every move answers 0 until the caller ends the filter.
  //
  // Builds the special index of the selected order for cond (ANSI; in the
  // OEM code page in mode 0). A different condition, or reset, quits the
  // old filter first; the same condition keeps the other orders. inverted
  // reverses the order. The table returns to its record when it matches,
  // else goes to the first match. On failure (condition not logical or not
  // parsed, file creation, a table too large) no special filter is left,
  // the code is kept and the answer is false.
  bool SpecialFilterInit(const char* cond, bool inverted, bool reset);
  // Closes and deletes every special index; false when none was active.
  bool SpecialFilterQuit();
  // With keep_existing and a special index of the selected order: true at
  // once. Otherwise builds it again with the kept condition and the
  // order's inverted flag. False without an active filter.
  bool SpecialFilterReinit(bool keep_existing);
  // Reverses the selected order's direction and rebuilds its index.
  bool SpecialFilterChangeOrder();
  bool SpecialFilterIsEnabled() const;
  bool SpecialFilterIsInverted() const;  // of the selected order
  // Copies the kept condition (NUL-terminated) into cond and the selected
  // order's inverted flag into *inverted. This form writes up to 256 bytes
  // (a condition is always shorter, since the key expression holding it is
  // at most 255 characters). False when an argument is null or no filter
  // is active.
  bool SpecialFilterGetExprData(char* cond, bool* inverted) const;
  // The same into size bytes; false (cond empty) when the condition does
  // not fit.
  bool SpecialFilterGetExprData(char* cond, int size, bool* inverted) const;
  // Builds every special index again from the data, then Unlock. True when
  // all succeeded.
  bool SpecialFilterRebuild();
  // Lock / unlock every special index; false without special filter or
  // when one fails. Lock and Unlock call them.
  bool SpecialFilterLock();
  bool SpecialFilterUnlock();

  // --- expressions -----------------------------------------------------------
  // Parses expr (ANSI; converted to OEM in mode 0) against this table,
  // evaluates it on the current record and copies the result (at most
  // size - 1 bytes, up to a NUL, converted back to ANSI) into out. Answers 0
  // (out empty) on any failure; parse errors carry their codes.
  int GetExprResult(const char* expr, char* out, int size);
  // Converts text to OEM in place (mode 0), registers a copy of it with the
  // engine and writes a token standing for it into out (at least 16 bytes):
  // "!*N*!" for a text value, "!@N@!" when expr is true (the text is an
  // expression of this table). The token is valid while this object lives.
  bool StringToPtr(char* text, char* out, bool expr);

  // --- relations -------------------------------------------------------------
  // A relation links open tables into a master/slave tree: whenever the
  // master moves, every slave is positioned on the record belonging to its
  // parent's record (see WdbaseRelation for the same through an object of
  // its own). A table that closes or is destroyed leaves every tree first,
  // with the tables below it.
  //
  // Frees the tree this object owns and makes it the master of a new one;
  // its current relation becomes the master node. Requires an open table.
  int SetMasterRelation();
  // Makes this open table a slave under master's current relation node:
  // expr (parsed against master's data file) gives the value sought in this
  // table's index order tag (an index file name, extension optional; null
  // or empty: the value is a record number). The value's type must be the
  // order's key type, else -720 "relate4create_slave() - master expression
  // type does not match tag type". A table is at most once in a tree. On
  // success the new node becomes this object's current relation; a failure
  // changes nothing.
  int SetSlaveRelation(Wdbase* master, const char* expr, const char* tag);
  // Type of the current relation node: 0 exact (the default), 1
  // approximate, 2 scan (one to many). Other values are ignored (answer 1);
  // 0 without a current relation.
  int SetSlaveRelationType(int type);
  // The current relation node (opaque), or null.
  xbase32::RelationNode* GetRelation() const;
  // Query (logical) and sort expressions of the whole tree, evaluated on
  // the composite record (other tables by alias: "SLAVE->FIELD"); null or
  // empty removes them. The tree then moves to its top. 1 on success.
  int SetQuery(const char* expr);
  int SetSort(const char* expr);
  // Walk the whole tree (query and sort applied): 1 on a composite record,
  // 2 at end of file (every table blank), 3 at beginning of file, 0 on
  // error or without a current relation (-720 when the query or sort names
  // a table that has left the tree: closed or destroyed).
  int TopRelation();
  int BottomRelation();
  int NextRelation();
  int PreviousRelation();

  // --- conversion mode and helpers ------------------------------------------
  Wdbase_OEMtoChar SetOEMConversionMode(Wdbase_OEMtoChar m);
  Wdbase_OEMtoChar GetOEMConversionMode() const;
  static const char* MakeDate(int y, int m, int d);
  static void SplitDate(const char* s, int* y, int* m, int* d);
  static int SetDebugLevel(int level);  // answers the previous level
  static int GetDebugLevel();

  // The code (negative, 0 when none) and detail lines of the engine's last
  // failure, for callers and tools. The texts are owned by the engine and
  // valid until the next failure.
  static int LastErrorCode();
  static const char* LastErrorText();         // the code's fixed text
  static const char* LastErrorDetail(int i);  // i = 0..2, never null

 private:
  friend class xbase32::DbfFile;
  friend struct WdbaseAccess;  // the engine's internal door (wdbase_access.h)
  friend struct WdbaseFilterAccess;  // the filters' door (filter_access.h)

  bool Ready() const;  // open; also clears the pending error
  int FieldByName(const char* field) const;
  int AfterWrite();  // auto-flush or lock release after a change
  void ReleaseLocks();

  xbase32::DbfFile* data_ = nullptr;  // open data file, or null
  // The current relation node, and the relation tree owned as master.
  xbase32::RelationNode* relation_ = nullptr;
  xbase32::RelationTree* owned_relation_ = nullptr;
  xbase32::FileSet* def_ = nullptr;  // file-set definition, owned
  Wdbase* next_ = nullptr;           // process-wide object list
  Wdbase* prev_ = nullptr;
  FilterFunc filter_ = nullptr;
  FilterFuncWithData filter_with_data_ = nullptr;
  void* filter_user_ = nullptr;
  xbase32::FilterCache* filter_cache_ = nullptr;  // owned
  Wdbase_OEMtoChar mode_ = Wdbase_OEMtoChar_On;
  xbase32::SpecialFilter* special_filter_ = nullptr;  // owned
  bool user_lock_ = false;                            // Lock() in force
  int read_from_file_ = -1;  // -1: as the environment says
};

// Copies the records of src into another table, converting by field name:
// into dst when given, else into a new table name (or "$TMPCOPY") with
// fields (or src's fields); with only fields given the converted table
// replaces src (refused with -80 while another handle has src open; every
// failure releases src's locks). Answers 1 on success.
XBASE32_API int WdbaseCopyUpdateDb(Wdbase* src, Wdbase* dst,
                                   const WDBASE_FIELD* fields,
                                   const char* name);

// Whether the table whose data file is path ("c:\\gdata\\colors.dbf") is
// open in any handle, of any process (this one included): every open
// handle holds the data file's "open" byte range shared. Answers 1 when in
// use, 0 when not (also when the file does not exist or cannot be opened
// for writing). A data set is in use when any of its tables is.
XBASE32_API int WdbaseIsInUse(const char* path);

// Replaces the table with data file table by the table with data file
// replacement (both full paths; each with its ".dbt" memo file when it has
// one), as one step a crash cannot leave half done: the old files are set
// aside, the new ones take their names (memo file first, data file last),
// the old ones are deleted; a process that dies part way leaves the old
// table or the new one, and the next Open of the table undoes a replacement
// that left neither. The idx_count index files idx_paths of the table are
// marked so that the next Open rebuilds them for the new records. Refused
// (0, error -80 "Removing File" with a detail naming the table as in use)
// while any handle has either table open, this process's included. A table
// that does not exist yet is simply given the replacement's files. 1 on
// success; on failure the old table stays in place.
XBASE32_API int WdbaseReplaceTable(const char* table, const char* replacement,
                                   int idx_count, const char* const* idx_paths);

// Library version times 100; with show != 0 a message box with caption
// title shows the version first.
XBASE32_API int WdbaseVersion(int show, const char* title);

// Compares two doubles: 2 when *a - *b > 1e-13, -1 when below -1e-13, else
// 0. len is ignored.
XBASE32_API int t4cmp_doub(const void* a, const void* b, unsigned len);

#include "xbase32/wdbase_relation.h"

#endif  // XBASE32_WDBASE_H_
