// Wdbase's relation methods and the class WdbaseRelation: thin doors to the
// relation trees of relation.h.

#include "engine_error.h"
#include "relation.h"
#include "wdbase_access.h"
#include "xbase32/wdbase.h"

using xbase32::RelationNode;
using xbase32::RelationTree;

namespace xbase32 {

void ReleaseRelations(Wdbase* w) {
  RelationTree::DetachEverywhere(w);
  delete WdbaseAccess::OwnedRelation(w);
  WdbaseAccess::SetOwnedRelation(w, nullptr);
}

}  // namespace xbase32

int Wdbase::SetMasterRelation() {
  if (!Ready()) return 0;
  delete owned_relation_;  // tables pointing into it forget it
  owned_relation_ = new RelationTree(this);
  relation_ = owned_relation_->master();
  return 1;
}

int Wdbase::SetSlaveRelation(Wdbase* master, const char* expr,
                             const char* tag) {
  if (!Ready()) return 0;
  if (master == nullptr || master->relation_ == nullptr) {
    xbase32::ReportError(xbase32::kErrRelation, "Relation: no master relation");
    return 0;
  }
  RelationNode* parent = master->relation_;
  RelationNode* n = parent->tree->AddSlave(parent, this, expr, tag);
  if (n == nullptr) return 0;
  relation_ = n;
  return 1;
}

int Wdbase::SetSlaveRelationType(int type) {
  xbase32::ClearError();
  if (relation_ == nullptr) return 0;
  relation_->tree->SetType(relation_, type);
  return 1;
}

RelationNode* Wdbase::GetRelation() const { return relation_; }

int Wdbase::SetQuery(const char* expr) {
  xbase32::ClearError();
  if (relation_ == nullptr) return 0;
  RelationTree* t = relation_->tree;
  return t->SetQuery(expr) && t->Top() != 0 ? 1 : 0;
}

int Wdbase::SetSort(const char* expr) {
  xbase32::ClearError();
  if (relation_ == nullptr) return 0;
  RelationTree* t = relation_->tree;
  return t->SetSort(expr) && t->Top() != 0 ? 1 : 0;
}

int Wdbase::TopRelation() {
  xbase32::ClearError();
  return relation_ ? relation_->tree->Top() : 0;
}

int Wdbase::BottomRelation() {
  xbase32::ClearError();
  return relation_ ? relation_->tree->Bottom() : 0;
}

int Wdbase::NextRelation() {
  xbase32::ClearError();
  return relation_ ? relation_->tree->Next() : 0;
}

int Wdbase::PreviousRelation() {
  xbase32::ClearError();
  return relation_ ? relation_->tree->Previous() : 0;
}

// --- WdbaseRelation
// ------------------------------------------------------------

WdbaseRelation::WdbaseRelation() = default;

WdbaseRelation::~WdbaseRelation() { delete tree_; }

int WdbaseRelation::SetMasterRelation(Wdbase* master) {
  xbase32::ClearError();
  if (master == nullptr || !master->IsOpen(0)) return 0;
  delete tree_;
  tree_ = new RelationTree(master);
  return 1;
}

int WdbaseRelation::SetSlaveRelation(Wdbase* parent, Wdbase* slave,
                                     const char* expr, const char* tag) {
  xbase32::ClearError();
  if (tree_ == nullptr || parent == nullptr) return 0;
  RelationNode* p = tree_->Find(parent);
  if (p == nullptr) {
    xbase32::ReportError(xbase32::kErrRelation,
                         "Relation: parent table not in the relation");
    return 0;
  }
  return tree_->AddSlave(p, slave, expr, tag) ? 1 : 0;
}

int WdbaseRelation::SetSlaveRelation(RelationMaster where, Wdbase* slave,
                                     const char* expr, const char* tag) {
  xbase32::ClearError();
  if (tree_ == nullptr) return 0;
  RelationNode* p = nullptr;
  if (where == RelationMaster_Master) {
    p = tree_->master();
  } else if (where == RelationMaster_LastSlave) {
    p = tree_->last_slave();
  }
  if (p == nullptr) return 0;
  return tree_->AddSlave(p, slave, expr, tag) ? 1 : 0;
}

int WdbaseRelation::SetSlaveRelationType(int type, Wdbase* slave) {
  xbase32::ClearError();
  if (tree_ == nullptr) return 0;
  RelationNode* n = slave ? tree_->Find(slave) : tree_->last_slave();
  if (n == nullptr || n == tree_->master()) return 0;
  tree_->SetType(n, type);
  return 1;
}

int WdbaseRelation::SetQuery(const char* expr) {
  xbase32::ClearError();
  if (tree_ == nullptr) return 0;
  return tree_->SetQuery(expr) && tree_->Top() != 0 ? 1 : 0;
}

int WdbaseRelation::SetSort(const char* expr) {
  xbase32::ClearError();
  if (tree_ == nullptr) return 0;
  return tree_->SetSort(expr) && tree_->Top() != 0 ? 1 : 0;
}

int WdbaseRelation::TopRelation() {
  xbase32::ClearError();
  return tree_ ? tree_->Top() : 0;
}

int WdbaseRelation::BottomRelation() {
  xbase32::ClearError();
  return tree_ ? tree_->Bottom() : 0;
}

int WdbaseRelation::NextRelation() {
  xbase32::ClearError();
  return tree_ ? tree_->Next() : 0;
}

int WdbaseRelation::PreviousRelation() {
  xbase32::ClearError();
  return tree_ ? tree_->Previous() : 0;
}

int WdbaseRelation::RecalculateRelation(bool flag) {
  (void)flag;
  xbase32::ClearError();
  if (tree_ == nullptr) return 0;
  tree_->MarkChanged();
  return tree_->Top();
}
