// Relation trees: positioning the slaves and walking the composite records
// (the sorted walk is in relation_sort.cc).

#include <string>

#include "dbf_file.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "ntx_file.h"
#include "ntx_key.h"
#include "relation.h"
#include "relation_list.h"
#include "wdbase_access.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

namespace xbase32 {
namespace {

// Puts t at its end-of-file position (blank record).
void ToEof(Wdbase* t) {
  const int32_t count = t->RecCount();
  if (count >= 0) {
    t->Goto(count + 1);
  } else if (DbfFile* d = WdbaseAccess::Data(t)) {
    d->GoEof();
  }
}

}  // namespace

// Seeks n's key (the master expression's value on the parent's record) in
// n's order and stores it in n->key as the index compares it. Answers as
// Seek does: 1 found, 2 on the next greater key, 3 end of file, 0 failure.
int RelationTree::SeekSlave(RelationNode* n) {
  Wdbase* s = n->table;
  NtxFile* ix = IndexOf(s, n->order);
  if (ix == nullptr) {
    ReportError(kErrTagMissing, "Relation order not open");
    return 0;
  }
  if (s->SelectedIdx() != n->order && !s->SelectIdx(n->order)) return 0;
  const KeyInfo& info = ix->key_info();
  Expr& e = *n->expr;
  if (RelationKeyType(e.type()) == 'N' || e.type() == 'd') {
    const double v = e.EvaluateNumber();
    if (!SeekKeyFromNumber(info, v, &n->key)) {
      // Too wide for the key: no key can match.
      ToEof(s);
      return 3;
    }
    return s->Seek(v);
  }
  // Text and "CCYYMMDD" dates: the value up to a NUL, cut to the key length,
  // sought as it is (the data file's bytes need no conversion).
  const char* v = e.Evaluate();
  std::string text(v, static_cast<size_t>(e.length()));
  text.resize(text.find('\0') == std::string::npos ? text.size()
                                                   : text.find('\0'));
  if (text.size() > static_cast<size_t>(info.length)) text.resize(info.length);
  if (!SeekKeyFromText(info, text.data(), text.size(), &n->key)) return 0;
  const Wdbase_OEMtoChar mode = s->SetOEMConversionMode(Wdbase_OEMtoChar_Off);
  const int rc = s->Seek(text.c_str());
  s->SetOEMConversionMode(mode);
  return rc;
}

// Whether the slave's current record carries n's key (its index key starts
// with the key sought).
bool RelationTree::KeyMatches(const RelationNode* n) const {
  Wdbase* s = n->table;
  DbfFile* d = WdbaseAccess::Data(s);
  NtxFile* ix = IndexOf(s, n->order);
  if (d == nullptr || ix == nullptr || s->Eof() || s->RecNo() <= 0) {
    return false;
  }
  std::string key(static_cast<size_t>(ix->key_info().length), '\0');
  if (!ix->KeyOf(d->record(), d->recno(), key.data())) return false;
  return key.compare(0, n->key.size(), n->key) == 0;
}

// From the first matching record of a scan slave on to the last one.
void RelationTree::ToLastMatch(RelationNode* n) {
  Wdbase* s = n->table;
  while (s->Next() == 1 && KeyMatches(n)) {
  }
  s->Previous();  // from end of file: the last record
}

RelationTree::Step RelationTree::ApplyNoMatch(RelationNode* n) {
  ToEof(n->table);
  switch (n->no_match) {
    case NoMatch::kBlank:
      return Step::kOk;
    case NoMatch::kSkipMaster:
      return Step::kSkip;
    case NoMatch::kReport:
      ReportError(kErrSlaveMissing,
                  WdbaseAccess::Data(n->table)->path().c_str());
      return Step::kError;
  }
  return Step::kError;
}

// Positions the slave of n on the record belonging to its parent's current
// record: the first one, or for a scan slave with last set the last one.
RelationTree::Step RelationTree::PositionOne(RelationNode* n, bool last) {
  Wdbase* s = n->table;
  Wdbase* p = n->parent->table;
  n->matched = false;
  n->key.clear();
  if (p->Eof() || p->RecNo() <= 0) {
    // A blank parent has no records below it.
    ToEof(s);
    return Step::kOk;
  }
  if (n->order == 0) {
    const double v = n->expr->EvaluateNumber();
    const int32_t count = s->RecCount();
    if (count < 0) return Step::kError;
    if (v >= 1 && v < static_cast<double>(count) + 1) {
      s->Goto(static_cast<int32_t>(v));
      n->matched = !s->Eof();
      return n->matched ? Step::kOk : Step::kError;
    }
    if (n->type == RelationType::kApproximate) {
      ToEof(s);
      return Step::kOk;
    }
    return ApplyNoMatch(n);
  }
  const int rc = SeekSlave(n);
  if (rc == 0) return Step::kError;
  switch (n->type) {
    case RelationType::kExact:
      if (rc != 1) return ApplyNoMatch(n);
      break;
    case RelationType::kApproximate:
      if (rc == 3) return Step::kOk;  // past the last key: end of file
      break;
    case RelationType::kScan:
      if (rc != 1) return ApplyNoMatch(n);
      n->matched = true;
      if (last) ToLastMatch(n);
      return Step::kOk;
  }
  n->matched = true;
  return Step::kOk;
}

// Positions nodes_[first..] in depth-first order (parents before their
// children). A node whose no-match action skips the master record makes
// the answer kSkip, but the rest is still positioned so that the state
// stays whole.
RelationTree::Step RelationTree::PositionFrom(size_t first, bool last) {
  bool skip = false;
  for (size_t i = first; i < nodes_.size(); ++i) {
    const Step s = PositionOne(nodes_[i], last);
    if (s == Step::kError) return s;
    if (s == Step::kSkip) skip = true;
  }
  return skip ? Step::kSkip : Step::kOk;
}

// Moves a scan slave to its next (previous) record with the same key.
bool RelationTree::Advance(RelationNode* n, bool forward) {
  if (n->type != RelationType::kScan || n->order == 0 || !n->matched) {
    return false;
  }
  Wdbase* s = n->table;
  if (s->Eof()) return false;
  const int r = forward ? s->Next() : s->Previous();
  return r == 1 && KeyMatches(n);
}

RelationTree::Step RelationTree::RawTop() {
  Wdbase* m = master_->table;
  m->Top();
  if (m->Eof()) return Step::kEof;
  return PositionFrom(1, false);
}

RelationTree::Step RelationTree::RawBottom() {
  Wdbase* m = master_->table;
  m->Bottom();
  if (m->Eof()) return Step::kEof;
  return PositionFrom(1, true);
}

// The next composite record: the last scan slave (depth first) that can
// step on does so and everything after it is positioned afresh; when none
// can, the master moves on.
RelationTree::Step RelationTree::RawNext() {
  Wdbase* m = master_->table;
  if (m->Eof()) return Step::kEof;
  for (size_t i = nodes_.size(); i-- > 1;) {
    if (Advance(nodes_[i], true)) return PositionFrom(i + 1, false);
  }
  if (m->Next() != 1) return m->Eof() ? Step::kEof : Step::kError;
  return PositionFrom(1, false);
}

RelationTree::Step RelationTree::RawPrevious() {
  Wdbase* m = master_->table;
  if (m->Eof()) {
    // From the end of file: the last composite record.
    if (m->Previous() != 1) return m->Eof() ? Step::kBof : Step::kError;
    return PositionFrom(1, true);
  }
  for (size_t i = nodes_.size(); i-- > 1;) {
    if (Advance(nodes_[i], false)) return PositionFrom(i + 1, true);
  }
  if (m->Previous() != 1) {
    if (!m->Bof()) return Step::kError;
    // The master stays on its first record: so do the slaves.
    return PositionFrom(1, false) == Step::kError ? Step::kError : Step::kBof;
  }
  return PositionFrom(1, true);
}

bool RelationTree::Ready() {
  if (!master_) {
    ReportError(kErrRelation, "Relation: no master table");
    return false;
  }
  // A table the query or sort names may have left the tree since (closed
  // or destroyed): its fields would read as blanks and the walk would
  // answer a wrong set.
  for (const Expr* e : {query_.get(), sort_.get()}) {
    std::string missing;
    if (e != nullptr && !e->AliasesAvailable(&missing)) {
      ReportError(kErrRelation, "Relation: table not open", missing.c_str());
      return false;
    }
  }
  return true;
}

bool RelationTree::Accepted() { return !query_ || query_->EvaluateLogical(); }

RelationTree::Step RelationTree::Forward(Step s) {
  while (s == Step::kSkip || (s == Step::kOk && !Accepted())) s = RawNext();
  return s;
}

RelationTree::Step RelationTree::Backward(Step s) {
  while (s == Step::kSkip || (s == Step::kOk && !Accepted())) {
    s = RawPrevious();
  }
  return s;
}

void RelationTree::AllEof() {
  for (RelationNode* n : nodes_) {
    ToEof(n->table);
    n->matched = false;
    n->key.clear();
  }
}

int RelationTree::Answer(Step s) {
  switch (s) {
    case Step::kOk:
      return 1;
    case Step::kEof:
      AllEof();
      return 2;
    case Step::kBof:
      return 3;
    case Step::kSkip:
    case Step::kError:
      break;
  }
  return 0;
}

int RelationTree::Top() {
  if (!Ready()) return 0;
  changed_ = false;
  if (sort_) {
    if (!BuildList()) return 0;
    return ShowEntry(0);
  }
  return Answer(Forward(RawTop()));
}

int RelationTree::Bottom() {
  if (!Ready()) return 0;
  if (sort_) {
    if ((changed_ || !list_) && !BuildList()) return 0;
    changed_ = false;
    return ShowEntry(list_->count() - 1);
  }
  changed_ = false;
  const Step s = Backward(RawBottom());
  return Answer(s == Step::kBof ? Step::kEof : s);
}

int RelationTree::Next() {
  if (!Ready()) return 0;
  if (changed_ || (sort_ && !list_)) return Top();
  if (sort_) return ShowEntry(pos_ >= list_->count() ? pos_ : pos_ + 1);
  return Answer(Forward(RawNext()));
}

int RelationTree::Previous() {
  if (!Ready()) return 0;
  if (changed_ || (sort_ && !list_)) {
    const int r = Top();
    return r == 1 ? 3 : r;
  }
  if (sort_) {
    if (pos_ <= 0 || list_->count() == 0) {
      return list_->count() == 0 ? Answer(Step::kEof) : 3;
    }
    return ShowEntry(std::min(pos_, list_->count()) - 1);
  }
  const Step s = Backward(RawPrevious());
  if (s != Step::kBof) return Answer(s);
  // Nothing before: the first composite record of the set stays current.
  const Step first = Forward(RawTop());
  if (first == Step::kError) return 0;
  if (first == Step::kEof) AllEof();
  return 3;
}

}  // namespace xbase32
