// Caller routines behind the expression function CX(len,"routine","value").
//
// A program registers a routine owned by a Wdbase object and receives its
// handle, a number > 0. An expression then calls it as
//   CX(len,"handle","value")
// (len a numeric constant, the two texts usually constants): for every
// evaluation the routine sees the record the expression is evaluated on and
// the call's value, and writes the call's result (len characters). This
// works wherever the engine evaluates expressions: GetExprResult, special
// filters (also through an expression token with the operator "!"), index
// keys and relation queries.
//
// Numbers in expressions are never addresses: the handle is looked up in
// the engine's registry at every call. An unknown handle (never issued,
// unregistered, or its owner destroyed) gives len blanks, as does a routine
// that throws. Handles are not reused within a process, so a stale handle
// never reaches another routine.
//
// Lifetime: a registration ends with WdbaseUnregisterCx or when its Wdbase
// is destroyed; the routine object (and what it captured) is released then,
// after any call still running. Registration and lookup are thread-safe;
// the routine runs on the thread evaluating the expression, so a routine
// used by tables of several threads must be safe for that itself.

#ifndef XBASE32_WDBASE_CX_H_
#define XBASE32_WDBASE_CX_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "xbase32/export.h"

class Wdbase;

// Read-only view of the record an expression is being evaluated on (for a
// special filter or an index build: each record in turn, not the table's
// current one). Valid only during the routine's call.
class XBASE32_API WdbaseRecordView {
 public:
  virtual ~WdbaseRecordView() = default;
  // Copies the text of field name (any case, at most 10 characters) into
  // *text: the field's bytes as stored (full width, not trimmed, in the
  // table's code page), for a memo field its text. False (text empty) for
  // an unknown field or when there is no record.
  virtual bool Field(const char* name, std::string* text) const = 0;
  // Record number of the record (0 when none).
  virtual int32_t RecNo() const = 0;
};

// One CX call as its routine sees it.
struct WdbaseCxCall {
  // The call's value argument up to its first NUL, trailing blanks removed.
  // Valid only during the call.
  std::string_view value_text;
  // The value text read as an unsigned decimal number after leading blanks:
  // 0 when no digit follows, 4 294 967 295 when larger.
  uint32_t value = 0;
  // The call's result length (at least 1).
  int32_t length = 0;
};

// A routine: *result arrives empty; the call's result is the first length
// bytes of *result, padded with blanks.
using WdbaseCxRoutine =
    std::function<void(const WdbaseRecordView& record, const WdbaseCxCall& call,
                       std::string* result)>;

// Registers routine, owned by db, and answers its handle (> 0); 0 when db
// or routine is null/empty or the handles are exhausted.
XBASE32_API int32_t WdbaseRegisterCx(Wdbase* db, WdbaseCxRoutine routine);
// Ends the registration handle of db: 1, or 0 when handle is not a routine
// registered on db (other objects' routines and text tokens are kept).
XBASE32_API int WdbaseUnregisterCx(Wdbase* db, int32_t handle);
// 1 while handle is a routine registered on db, else 0.
XBASE32_API int WdbaseIsCxRegistered(const Wdbase* db, int32_t handle);

#endif  // XBASE32_WDBASE_CX_H_
