// An in-memory ExprTable for tests and the fuzz target: fields, records with
// their flag bytes, memo texts per record and aliases of other fake tables.

#ifndef XBASE32_EXPR_FAKE_EXPR_TABLE_H_
#define XBASE32_EXPR_FAKE_EXPR_TABLE_H_

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "expr/expr_table.h"

namespace xbase32 {

class FakeExprTable : public ExprTable {
 public:
  struct FieldDef {
    std::string name;  // upper case
    char type;
    int32_t width;
    int32_t decimals;
  };

  explicit FakeExprTable(std::vector<FieldDef> defs) : defs_(std::move(defs)) {
    int32_t offset = 1;
    for (const FieldDef& d : defs_) {
      offsets_.push_back(offset);
      offset += d.width;
    }
    record_length_ = offset;
  }

  // Appends a record: one text per field, cut or blank-padded to its width
  // (memo fields take their text from memo instead and store blanks).
  void Append(const std::vector<std::string>& values, char flag = ' ',
              const std::string& memo = "") {
    std::string rec(static_cast<size_t>(record_length_), ' ');
    rec[0] = flag;
    for (size_t i = 0; i < defs_.size() && i < values.size(); i++) {
      const std::string& v = values[i];
      const size_t w = static_cast<size_t>(defs_[i].width);
      rec.replace(static_cast<size_t>(offsets_[i]), w,
                  (v + std::string(w, ' ')).substr(0, w));
    }
    records_.push_back(rec);
    memos_.push_back(memo);
    if (recno_ == 0) recno_ = 1;
  }

  // Moves to record n (1-based); anything else leaves no current record.
  void Go(int32_t n) { recno_ = n; }
  std::string* MutableRecord() {
    return recno_ >= 1 && recno_ <= static_cast<int32_t>(records_.size())
               ? &records_[static_cast<size_t>(recno_ - 1)]
               : nullptr;
  }
  void SetAlias(const std::string& name, const ExprTable* t) {
    if (t == nullptr) {
      aliases_.erase(name);
    } else {
      aliases_[name] = t;
    }
  }

  int FieldNumber(const char* name) const override {
    for (size_t i = 0; i < defs_.size(); i++) {
      if (defs_[i].name == name) return static_cast<int>(i) + 1;
    }
    return 0;
  }
  bool Field(int k, ExprField* f) const override {
    if (k < 1 || k > static_cast<int>(defs_.size())) return false;
    const FieldDef& d = defs_[static_cast<size_t>(k - 1)];
    f->type = d.type;
    f->width = d.width;
    f->decimals = d.decimals;
    f->offset = offsets_[static_cast<size_t>(k - 1)];
    return true;
  }
  int32_t RecordLength() const override { return record_length_; }
  const char* RecordBytes() const override {
    return recno_ >= 1 && recno_ <= static_cast<int32_t>(records_.size())
               ? records_[static_cast<size_t>(recno_ - 1)].data()
               : nullptr;
  }
  int32_t RecNo() const override { return recno_; }
  int32_t RecCount() const override {
    return static_cast<int32_t>(records_.size());
  }
  int32_t MemoText(int, char* buf, int32_t size) const override {
    if (recno_ < 1 || recno_ > static_cast<int32_t>(records_.size())) {
      return 0;
    }
    const std::string& m = memos_[static_cast<size_t>(recno_ - 1)];
    const size_t n = m.size() < static_cast<size_t>(size)
                         ? m.size()
                         : static_cast<size_t>(size);
    std::memcpy(buf, m.data(), n);
    return static_cast<int32_t>(n);
  }
  const ExprTable* FindAlias(const char* alias) const override {
    auto it = aliases_.find(alias);
    return it == aliases_.end() ? nullptr : it->second;
  }

 private:
  std::vector<FieldDef> defs_;
  std::vector<int32_t> offsets_;
  int32_t record_length_ = 1;
  std::vector<std::string> records_;
  std::vector<std::string> memos_;
  int32_t recno_ = 0;
  std::map<std::string, const ExprTable*> aliases_;
};

}  // namespace xbase32

#endif  // XBASE32_EXPR_FAKE_EXPR_TABLE_H_
