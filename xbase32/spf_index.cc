#include "spf_index.h"

#include <algorithm>
#include <cstring>

#include "dbf_expr_table.h"
#include "expr/expr.h"
#include "ntx_file.h"
#include "platform/env.h"

namespace xbase32 {

void NumericKeyRoutine(CxBlock* block, int32_t len, uint32_t) {
  auto* part = static_cast<NumericKeyPart*>(block->context);
  if (part == nullptr || block->table == nullptr || len <= 0) return;
  const char* rec = block->table->RecordBytes();
  if (rec == nullptr) return;
  part->table->SetRecord(rec, block->table->RecNo());
  const char* v = part->expr->Evaluate();
  std::string key(static_cast<size_t>(part->info.length), ' ');
  FormKey(part->info, part->expr->type(), v, part->expr->length(), key.data());
  part->table->SetRecord(nullptr, 0);
  std::memcpy(block->buffer, key.data(),
              std::min(key.size(), static_cast<size_t>(len)));
}

void HighValueRoutine(CxBlock* block, int32_t len, uint32_t value) {
  if (len <= 0 || value == 0 || value > INT32_MAX) return;
  std::string text;
  if (!LookupText(static_cast<ExprHandle>(value), &text)) return;
  std::memcpy(block->buffer, text.data(),
              std::min(text.size(), static_cast<size_t>(len)));
}

// --- hook ----------------------------------------------------------------

bool SpecialIndexHook::Lock() {
  if (user_hold_) return true;
  platform::Env* env = platform::Env::Current();
  for (;;) {
    const platform::LockResult r = index_->TryLockIndex();
    if (r == platform::LockResult::kLocked) break;
    if (r == platform::LockResult::kError) return false;
    platform::SleepBeforeLockRetry(env);
  }
  user_hold_ = true;
  return true;
}

bool SpecialIndexHook::Unlock() {
  if (!user_hold_) return true;
  user_hold_ = false;
  return data_hold_ ? true : index_->UnlockIndex();
}

platform::LockResult SpecialIndexHook::TryLockIndex() {
  const platform::LockResult r = index_->TryLockIndex();
  if (r == platform::LockResult::kLocked) data_hold_ = true;
  return r;
}

bool SpecialIndexHook::UnlockIndex() {
  data_hold_ = false;
  return user_hold_ ? true : index_->UnlockIndex();
}

bool SpecialIndexHook::KeyChanges(int32_t recno, const char* old_rec,
                                  const char* new_rec) {
  return index_->KeyChanges(recno, old_rec, new_rec);
}

bool SpecialIndexHook::Update(int32_t recno, const char* old_rec,
                              const char* new_rec) {
  *changed_ = true;
  return index_->Update(recno, old_rec, new_rec);
}

void SpecialIndexHook::UndoUpdate(int32_t recno, const char* old_rec,
                                  const char* new_rec) {
  *changed_ = true;
  index_->UndoUpdate(recno, old_rec, new_rec);
}

bool SpecialIndexHook::Insert(int32_t recno, const char* rec) {
  *changed_ = true;
  return index_->Insert(recno, rec);
}

void SpecialIndexHook::UndoInsert(int32_t recno, const char* rec) {
  *changed_ = true;
  index_->UndoInsert(recno, rec);
}

// A special index is temporary: nothing to commit to disk (its pages are
// written when its lock is released).
bool SpecialIndexHook::Sync() { return true; }

// The slot owns its registrations (the numeric key routine and the
// high-value text).
SpecialFilter::Slot::~Slot() { UnregisterOwner(this); }

}  // namespace xbase32
