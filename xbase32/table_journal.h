// The journal of a rewrite in place (Pack, Zap): before records and memo
// texts move, the data file and the memo file are copied beside the table
// ("x.dbf.jnl", "x.dbt.jnl"); the copy of the data file gets its final name
// last (it is written as "x.dbf.jn~" and renamed), so its presence marks a
// complete journal. The journal goes once the data file and memo file are
// rewritten, before the indexes are rebuilt (the indexes are marked for
// rebuilding before the rewrite starts, ntx_mark.h).
//
// A process that dies while the journal exists leaves the table to be
// rolled back: the next Open copies the journal over the data and memo
// files, so the table is as it was before the rewrite, with not one
// committed record or memo text lost or doubled. Only a process that can
// take the whole-file lock rolls back (a rewrite at work holds it).
//
// Costs: a rewrite writes every byte of the table once more.

#ifndef XBASE32_TABLE_JOURNAL_H_
#define XBASE32_TABLE_JOURNAL_H_

#include <string>

#include "platform/env.h"

namespace xbase32 {

std::string JournalPath(const std::string& path);

// Writes the journal of the table with data file data_path, from its open
// files (memo may be null). The caller holds the whole-file lock. False
// (reported) on failure; nothing is left behind then.
bool WriteJournal(const std::string& data_path, platform::File* data,
                  platform::File* memo);

// Deletes the journal (the data file's copy first). False (reported) when
// it stays.
bool DropJournal(const std::string& data_path);

// Copies the journal back over the data and memo files and deletes it:
// the table is as it was before the rewrite. The caller holds the
// whole-file lock. False (reported) when that fails; the journal stays.
bool RestoreJournal(const std::string& data_path);

// Before a table is opened: rolls back a rewrite that died, when its
// journal is complete and no process holds the whole-file lock; removes the
// pieces of a journal that was never completed. Reports a roll-back with
// -910. Answers whether the table was rolled back.
bool RollBackRewrite(const std::string& data_path);

}  // namespace xbase32

#endif  // XBASE32_TABLE_JOURNAL_H_
