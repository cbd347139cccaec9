// The engine's error codes, their fixed texts, the pending error and the
// error report (a message box at debug levels 1 and 2).

#ifndef XBASE32_ENGINE_ERROR_H_
#define XBASE32_ENGINE_ERROR_H_

namespace xbase32 {

enum ErrorCode : int {
  kErrNone = 0,
  kErrClose = -10,
  kErrCreate = -20,
  kErrLength = -30,
  kErrSetLength = -40,
  kErrLock = -50,
  kErrOpen = -60,
  kErrRead = -70,
  kErrRemove = -80,
  kErrRename = -90,
  kErrSeek = -100,
  kErrUnlock = -110,
  kErrWrite = -120,
  kErrNotData = -200,
  kErrFieldName = -210,
  kErrFieldType = -220,
  kErrRecordLength = -230,
  kErrTagMissing = -300,
  kErrNotIndex = -310,
  kErrTagName = -330,
  kErrUnique = -340,
  kErrCommaOrBracket = -400,
  kErrIncomplete = -410,
  kErrDataName = -420,
  kErrIifLength = -422,
  kErrConstParam = -425,
  kErrParamCount = -430,
  kErrOverflow = -440,
  kErrRightBracket = -450,
  kErrSubExprType = -460,
  kErrFunction = -470,
  kErrOperator = -480,
  kErrValue = -490,
  kErrUnterminated = -500,
  kErrOptimize = -610,
  kErrOptimizeRemove = -620,
  kErrOptimizeFlush = -630,
  kErrSlaveMissing = -710,
  kErrRelation = -720,
  kErrInfo = -910,
  kErrMemory = -920,
  kErrParameter = -930,
  kErrResult = -950,
};

// The fixed text of a code ("" for an unknown code). Never null.
const char* ErrorText(int code);

// Forgets the pending error (every public operation starts with it).
void ClearError();
// The pending error code (0 when none).
int PendingError();

// Records code with up to three detail lines (null means empty) as the
// pending and last error, and shows the report when the debug level is 1 or
// 2. Code 0 reports a warning without changing the pending error. Answers
// code.
int ReportError(int code, const char* d1 = nullptr, const char* d2 = nullptr,
                const char* d3 = nullptr);

// The last reported failure (kept until the next one; ClearError does not
// forget it).
int LastError();
const char* LastErrorDetail(int i);

}  // namespace xbase32

#endif  // XBASE32_ENGINE_ERROR_H_
