// Relation trees: building, detaching and the process-wide list of trees.
// The walk itself is in relation_walk.cc and relation_sort.cc.

#include "relation.h"

#include <string>

#include "dbf_expr_table.h"
#include "dbf_file.h"
#include "engine.h"
#include "engine_error.h"
#include "expr/expr.h"
#include "ntx_file.h"
#include "ntx_key.h"
#include "platform/codepage.h"
#include "relation_list.h"
#include "wdbase_access.h"
#include "wdbase_order.h"
#include "xbase32/wdbase.h"

namespace xbase32 {

const char kTypeMismatchText[] =
    "relate4create_slave() - master expression type does not match tag type";

namespace {

// Every live tree, newest first.
RelationTree* g_first_tree = nullptr;

// Parses source (ANSI when table converts) against table's data file;
// reports parse errors. Null on failure.
std::unique_ptr<Expr> ParseOn(const Wdbase* table, const char* source) {
  DbfFile* d = WdbaseAccess::Data(table);
  if (d == nullptr || source == nullptr) return nullptr;
  std::string text = source;
  if (table->GetOEMConversionMode() == Wdbase_OEMtoChar_On) {
    platform::AnsiToOem(text.data(), text.size());
  }
  ExprError err;
  std::unique_ptr<Expr> e = Expr::Parse(d->expr_table(), text.c_str(), &err);
  if (!e && Config().expr_errors) {
    ReportError(err.code, err.details[0].c_str(), err.details[1].c_str(),
                err.details[2].c_str());
  }
  return e;
}

}  // namespace

char RelationKeyType(char t) {
  switch (t) {
    case 'n':
    case 'N':
      return 'N';
    case 'd':
    case 'D':
      return 'D';
    default:
      return t;
  }
}

RelationNode::RelationNode() = default;
RelationNode::~RelationNode() = default;

RelationTree::RelationTree(Wdbase* master) {
  master_ = std::make_unique<RelationNode>();
  master_->table = master;
  master_->tree = this;
  master_->matched = true;
  RebuildOrder();
  next_ = g_first_tree;
  if (next_) next_->prev_ = this;
  g_first_tree = this;
}

RelationTree::~RelationTree() {
  list_.reset();
  query_.reset();
  sort_.reset();
  if (master_) DropSubtree(master_.get());
  master_.reset();
  if (prev_) {
    prev_->next_ = next_;
  } else {
    g_first_tree = next_;
  }
  if (next_) next_->prev_ = prev_;
}

RelationNode* RelationTree::Find(const Wdbase* table) const {
  for (RelationNode* n : nodes_) {
    if (n->table == table) return n;
  }
  return nullptr;
}

void RelationTree::RebuildOrder() {
  nodes_.clear();
  if (!master_) return;
  // Depth first, children in creation order, without recursion.
  std::vector<RelationNode*> stack{master_.get()};
  while (!stack.empty()) {
    RelationNode* n = stack.back();
    stack.pop_back();
    nodes_.push_back(n);
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) {
      stack.push_back(it->get());
    }
  }
}

RelationNode* RelationTree::AddSlave(RelationNode* parent, Wdbase* slave,
                                     const char* expr, const char* tag) {
  if (parent == nullptr || parent->tree != this || slave == nullptr ||
      WdbaseAccess::Data(slave) == nullptr ||
      WdbaseAccess::Data(parent->table) == nullptr) {
    ReportError(kErrParameter, "Relation: no open table");
    return nullptr;
  }
  if (Find(slave) != nullptr) {
    ReportError(kErrRelation, "Relation: table already in the relation",
                WdbaseAccess::Data(slave)->path().c_str());
    return nullptr;
  }
  if (expr == nullptr || *expr == '\0') {
    ReportError(kErrIncomplete, "Relation: empty master expression");
    return nullptr;
  }
  std::unique_ptr<Expr> e = ParseOn(parent->table, expr);
  if (!e) return nullptr;

  int order = 0;
  char key_type = 'N';  // a record number
  if (tag != nullptr && *tag != '\0') {
    order = slave->IdxNameToNumber(tag);
    NtxFile* ix = order > 0 ? IndexOf(slave, order) : nullptr;
    if (ix == nullptr) {
      ReportError(kErrTagName, tag);
      return nullptr;
    }
    key_type = ix->key_info().type;
  }
  if (RelationKeyType(e->type()) != key_type) {
    ReportError(kErrRelation, kTypeMismatchText);
    return nullptr;
  }

  auto node = std::make_unique<RelationNode>();
  node->table = slave;
  node->parent = parent;
  node->tree = this;
  node->expr = std::move(e);
  node->order = order;
  RelationNode* raw = node.get();
  parent->children.push_back(std::move(node));
  last_slave_ = raw;
  RebuildOrder();
  MarkChanged();
  return raw;
}

bool RelationTree::SetType(RelationNode* node, int type) {
  if (node == nullptr || node->tree != this) return false;
  if (type < 0 || type > 2) return false;
  node->type = static_cast<RelationType>(type);
  MarkChanged();
  return true;
}

std::unique_ptr<Expr> RelationTree::ParseOnMaster(const char* source) const {
  if (!master_) {
    ReportError(kErrRelation, "Relation: no master table");
    return nullptr;
  }
  return ParseOn(master_->table, source);
}

bool RelationTree::SetQuery(const char* expr) {
  if (expr == nullptr || *expr == '\0') {
    query_.reset();
    query_text_.clear();
    MarkChanged();
    return true;
  }
  std::unique_ptr<Expr> e = ParseOnMaster(expr);
  if (!e) return false;
  if (e->type() != 'L') {
    ReportError(kErrSubExprType, "Query must be logical", expr);
    return false;
  }
  query_ = std::move(e);
  query_text_ = expr;
  MarkChanged();
  return true;
}

bool RelationTree::SetSort(const char* expr) {
  if (expr == nullptr || *expr == '\0') {
    sort_.reset();
    sort_text_.clear();
    MarkChanged();
    return true;
  }
  std::unique_ptr<Expr> e = ParseOnMaster(expr);
  if (!e) return false;
  KeyInfo info;
  if (!KeyInfoOf(*e, &info)) {
    ReportError(kErrSubExprType, "Sort expression must not be logical", expr);
    return false;
  }
  sort_ = std::move(e);
  sort_text_ = expr;
  MarkChanged();
  return true;
}

void RelationTree::MarkChanged() {
  changed_ = true;
  list_.reset();
  pos_ = 0;
}

void RelationTree::DropSubtree(RelationNode* node) {
  // Every table whose current relation is a node of the subtree forgets it.
  std::vector<RelationNode*> stack{node};
  while (!stack.empty()) {
    RelationNode* n = stack.back();
    stack.pop_back();
    if (n->table && WdbaseAccess::Relation(n->table) == n) {
      WdbaseAccess::SetRelation(n->table, nullptr);
    }
    if (last_slave_ == n) last_slave_ = nullptr;
    for (auto& c : n->children) stack.push_back(c.get());
  }
}

void RelationTree::Detach(const Wdbase* table) {
  RelationNode* n = Find(table);
  if (n == nullptr) return;
  DropSubtree(n);
  if (n == master_.get()) {
    // Query and sort were parsed against the master's data file.
    list_.reset();
    query_.reset();
    sort_.reset();
    query_text_.clear();
    sort_text_.clear();
    master_.reset();
  } else {
    auto& siblings = n->parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
      if (it->get() == n) {
        siblings.erase(it);
        break;
      }
    }
  }
  RebuildOrder();
  MarkChanged();
}

void RelationTree::DetachEverywhere(const Wdbase* table) {
  for (RelationTree* t = g_first_tree; t != nullptr; t = t->next_) {
    t->Detach(table);
  }
}

}  // namespace xbase32
