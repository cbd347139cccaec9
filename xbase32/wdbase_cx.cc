// Caller routines behind CX calls: the public registration over the
// engine's handle registry, and the record view handed to the routines.

#include "xbase32/wdbase_cx.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "expr/expr_registry.h"
#include "expr/expr_table.h"

namespace {

// The longest memo text a routine is given.
constexpr int32_t kMaxMemoText = 16 * 1024 * 1024;

bool IsMemo(char type) { return type == 'M' || type == 'G'; }

// The record view over the expression language's table.
class RecordView final : public WdbaseRecordView {
 public:
  explicit RecordView(const xbase32::ExprTable* table) : table_(table) {}

  bool Field(const char* name, std::string* text) const override {
    if (text == nullptr) return false;
    text->clear();
    if (table_ == nullptr || name == nullptr) return false;
    const size_t n = std::strlen(name);
    if (n == 0 || n > 10) return false;
    char upper[11];
    for (size_t i = 0; i < n; i++) {
      upper[i] =
          static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    }
    upper[n] = '\0';
    const int k = table_->FieldNumber(upper);
    xbase32::ExprField f;
    if (k < 1 || !table_->Field(k, &f)) return false;
    const char* rec = table_->RecordBytes();
    if (rec == nullptr || f.offset < 1 || f.width < 0 ||
        f.offset + f.width > table_->RecordLength()) {
      return false;
    }
    if (IsMemo(f.type)) return Memo(k, text);
    text->assign(rec + f.offset, static_cast<size_t>(f.width));
    return true;
  }

  int32_t RecNo() const override {
    return table_ == nullptr ? 0 : table_->RecNo();
  }

 private:
  // The memo text, read with a buffer that grows until the text fits.
  bool Memo(int k, std::string* text) const {
    std::vector<char> buf(4096);
    for (;;) {
      const int32_t size = static_cast<int32_t>(buf.size());
      const int32_t got = table_->MemoText(k, buf.data(), size);
      if (got < size || size >= kMaxMemoText) {
        text->assign(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
        return true;
      }
      buf.resize(buf.size() * 4);
    }
  }

  const xbase32::ExprTable* table_;
};

// What a registration owns: the caller's routine.
struct Registration {
  WdbaseCxRoutine routine;
};

// The engine-side routine of every caller registration.
void CallRoutine(xbase32::CxBlock* block, int32_t len, uint32_t value) {
  const auto* reg = static_cast<const Registration*>(block->context);
  if (reg == nullptr || len < 1) return;
  size_t n = 0;
  if (block->value_text != nullptr && block->value_length > 0) {
    const size_t max = static_cast<size_t>(block->value_length);
    const void* nul = std::memchr(block->value_text, '\0', max);
    n = nul == nullptr ? max
                       : static_cast<size_t>(static_cast<const char*>(nul) -
                                             block->value_text);
    while (n > 0 && block->value_text[n - 1] == ' ') n--;
  }
  WdbaseCxCall call;
  call.value_text = std::string_view(block->value_text, n);
  call.value = value;
  call.length = len;
  RecordView view(block->table);
  std::string result;
  try {
    reg->routine(view, call, &result);
  } catch (...) {
    return;  // the blanks stay: no exception leaves the engine
  }
  const size_t m = result.size() < static_cast<size_t>(len)
                       ? result.size()
                       : static_cast<size_t>(len);
  std::memcpy(block->buffer, result.data(), m);
}

}  // namespace

int32_t WdbaseRegisterCx(Wdbase* db, WdbaseCxRoutine routine) {
  if (db == nullptr || !routine) return 0;
  std::shared_ptr<Registration> reg;
  try {
    reg = std::make_shared<Registration>();
    reg->routine = std::move(routine);
    return xbase32::RegisterCxRoutine(CallRoutine, std::move(reg), db);
  } catch (...) {
    return 0;
  }
}

int WdbaseUnregisterCx(Wdbase* db, int32_t handle) {
  if (db == nullptr || handle <= 0) return 0;
  return xbase32::UnregisterCxRoutine(handle, db) ? 1 : 0;
}

int WdbaseIsCxRegistered(const Wdbase* db, int32_t handle) {
  if (db == nullptr || handle <= 0) return 0;
  return xbase32::IsRegisteredCxRoutine(handle, db) ? 1 : 0;
}
