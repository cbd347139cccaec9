// Process-wide registry of the objects that expressions refer to by number:
// texts behind text reference tokens ("!*%ld*!" and "!@%ld@!", used with the
// operator "!") and routines behind CX(len,"routine","value") calls.
//
// Expressions come from files and from callers, so a number inside them is
// never taken as a memory address: it is a handle issued here, and every
// lookup validates it. An unknown handle is an absent value: the operator
// "!" answers false and CX yields blanks.
//
// Handles are positive 32-bit numbers, issued in increasing order and never
// reused within a process, so a stale handle can only be unknown, never
// another object. 0 is never issued.
//
// Lifetime of a registration: until Unregister(handle), or until
// UnregisterOwner(owner) for the owner named at registration (a table handle
// ends all its registrations when it is destroyed; the special filter ends
// its CX routine when it is quit). Texts are copied at registration, so the
// registering caller need not keep its text alive. An owned context (the
// shared_ptr form) is released outside the registry's lock.
//
// All functions are thread-safe. A CX routine and its context are fetched
// under the registry's lock and called outside it, so a routine may itself
// register or unregister; its context must stay valid until its
// registration ends.

#ifndef XBASE32_EXPR_EXPR_REGISTRY_H_
#define XBASE32_EXPR_EXPR_REGISTRY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace xbase32 {

class ExprTable;

using ExprHandle = int32_t;

// Block handed to a CX routine. The first two members are fixed; the
// routine fills buffer[0, length) and leaves buffer[length] as NUL.
struct CxBlock {
  char* buffer;    // scratch buffer: length blanks and a NUL
  uint32_t value;  // the call's value number, passed through unchanged
  void* context;   // the context given at registration
  int32_t length;  // the call's result length
  // The table the calling expression is evaluated against (its record is
  // the one being evaluated); used only during the call.
  const ExprTable* table;
  // The call's value argument as evaluated: value_length bytes (not
  // NUL-terminated; it may hold NULs and trailing blanks).
  const char* value_text;
  int32_t value_length;
};

// A CX routine: block as above, len == block->length, value ==
// block->value.
using CxRoutine = void (*)(CxBlock* block, int32_t len, uint32_t value);

// Registers a copy of text (NUL-terminated) and answers its handle, or 0
// when text is null or the handles are exhausted. The same text registered
// again by the same owner answers the same handle.
ExprHandle RegisterText(const char* text, const void* owner);

// Registers a CX routine with the context it is called with; answers its
// handle, or 0 when routine is null or the handles are exhausted.
ExprHandle RegisterCxRoutine(CxRoutine routine, void* context,
                             const void* owner);

// The same with a context owned by the registration: it is released when
// the registration ends and no call of the routine is running any more.
ExprHandle RegisterCxRoutine(CxRoutine routine, std::shared_ptr<void> context,
                             const void* owner);

// Ends one registration; false when the handle is not registered.
bool Unregister(ExprHandle handle);
// Ends one CX routine registration of owner; false when handle is not a CX
// routine registered by owner (texts and other owners' routines are kept).
bool UnregisterCxRoutine(ExprHandle handle, const void* owner);
// Ends every registration of owner; answers how many ended.
size_t UnregisterOwner(const void* owner);

// Copies the text of handle into *text; false (text untouched) when the
// handle is not a registered text.
bool LookupText(ExprHandle handle, std::string* text);
// Whether handle is a registered text (cheaper than LookupText).
bool IsRegisteredText(ExprHandle handle);
// Fetches the routine and context of handle; false when the handle is not a
// registered CX routine.
bool LookupCxRoutine(ExprHandle handle, CxRoutine* routine, void** context);
// The same; *keep receives a share of an owned context (empty otherwise), so
// that the context outlives a registration ended during the call.
bool LookupCxRoutine(ExprHandle handle, CxRoutine* routine, void** context,
                     std::shared_ptr<void>* keep);
// Whether handle is a CX routine registered by owner.
bool IsRegisteredCxRoutine(ExprHandle handle, const void* owner);

// Text reference tokens. A token is at most kTokenSize - 1 characters.
constexpr size_t kTokenSize = 16;
enum class TokenKind { kText, kExpression };
// Writes "!*%ld*!" (kText) or "!@%ld@!" (kExpression) with the handle and a
// NUL into out (kTokenSize bytes); answers the length written.
size_t FormatToken(ExprHandle handle, TokenKind kind, char* out);
// Whether the n bytes at p, up to the first NUL and without trailing blanks,
// are a token of the given kind ("!*" or "!@", an optional minus sign and
// digits, then "*!" or "@!"). *handle receives the number, or 0 when it does
// not fit a handle.
bool ParseToken(const char* p, size_t n, TokenKind kind, ExprHandle* handle);

}  // namespace xbase32

#endif  // XBASE32_EXPR_EXPR_REGISTRY_H_
