// Relation trees: the sorted walk. From Top on, every composite record the
// query accepts is collected with its sort key and the record numbers of
// all tables; the walk then shows the entries of the sorted list.

#include <vector>

#include "engine_error.h"
#include "expr/expr.h"
#include "ntx_key.h"
#include "relation.h"
#include "relation_list.h"
#include "xbase32/wdbase.h"

namespace xbase32 {

// The record numbers of the tables in depth-first order; 0 for a table at
// end of file.
void RelationTree::Snapshot(std::vector<int32_t>* recnos) const {
  recnos->resize(nodes_.size());
  for (size_t k = 0; k < nodes_.size(); ++k) {
    const Wdbase* t = nodes_[k]->table;
    (*recnos)[k] = t->Eof() ? 0 : t->RecNo();
  }
}

bool RelationTree::BuildList() {
  list_.reset();
  pos_ = 0;
  KeyInfo info;
  if (!sort_ || !KeyInfoOf(*sort_, &info)) {
    ReportError(kErrSubExprType, "Sort expression must not be logical");
    return false;
  }
  auto list = std::make_unique<RelationList>(info.length,
                                             static_cast<int>(nodes_.size()));
  std::vector<char> key(static_cast<size_t>(info.length));
  std::vector<int32_t> recnos;
  for (Step s = RawTop(); s != Step::kEof; s = RawNext()) {
    if (s == Step::kError) return false;
    if (s != Step::kOk || !Accepted()) continue;
    const char* value = sort_->Evaluate();
    FormKey(info, sort_->type(), value, sort_->length(), key.data());
    Snapshot(&recnos);
    if (!list->Add(key.data(), recnos.data())) return false;
  }
  if (!list->Finish()) return false;
  list_ = std::move(list);
  return true;
}

// Makes entry i of the sorted list current: 1; past either end every
// table stands at end of file and the answer is 2.
int RelationTree::ShowEntry(int64_t i) {
  if (i < 0 || i >= list_->count()) {
    pos_ = list_->count();
    AllEof();
    return 2;
  }
  std::vector<int32_t> recnos(nodes_.size());
  if (!list_->Get(i, recnos.data())) return 0;
  pos_ = i;
  for (size_t k = 0; k < nodes_.size(); ++k) {
    RelationNode* n = nodes_[k];
    if (recnos[k] > 0) {
      n->table->Goto(recnos[k]);
    } else {
      n->table->Goto(n->table->RecCount() + 1);
    }
    n->matched = !n->table->Eof();
    n->key.clear();
  }
  return 1;
}

}  // namespace xbase32
