// The engine's internal door into Wdbase: lets engine modules reach the
// object's private state without widening the public class.

#ifndef XBASE32_WDBASE_ACCESS_H_
#define XBASE32_WDBASE_ACCESS_H_

#include "xbase32/wdbase.h"

struct WdbaseAccess {
  static Wdbase* Next(const Wdbase* w) { return w->next_; }
  static Wdbase* Prev(const Wdbase* w) { return w->prev_; }
  static void SetNext(Wdbase* w, Wdbase* n) { w->next_ = n; }
  static void SetPrev(Wdbase* w, Wdbase* p) { w->prev_ = p; }
  static xbase32::DbfFile* Data(const Wdbase* w) { return w->data_; }
  static xbase32::FileSet* Def(const Wdbase* w) { return w->def_; }
  static xbase32::RelationNode* Relation(const Wdbase* w) {
    return w->relation_;
  }
  static void SetRelation(Wdbase* w, xbase32::RelationNode* n) {
    w->relation_ = n;
  }
  static xbase32::RelationTree* OwnedRelation(const Wdbase* w) {
    return w->owned_relation_;
  }
  static void SetOwnedRelation(Wdbase* w, xbase32::RelationTree* t) {
    w->owned_relation_ = t;
  }
};

#endif  // XBASE32_WDBASE_ACCESS_H_
