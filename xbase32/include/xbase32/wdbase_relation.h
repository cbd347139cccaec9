// WdbaseRelation: a relation tree held by an object of its own rather than
// by its master table (see the relation methods of Wdbase in wdbase.h).
//
// Positioning a slave that relates through an index selects that index as
// the slave's order (SelectIdx), so that the slave's own navigation follows
// the relation; a slave without an order is moved with Goto.
//
// The object owns its tree and frees it when destroyed or when a new master
// is set; it refers to the tables without owning them. A table that closes
// or is destroyed leaves the tree first (with the tables below it; the
// master's leaving empties the tree), so the tables may go in any order.
// Results follow the conventions of wdbase.h: 1 success, 0 failure; the walk
// answers 1, 2 (end of file), 3 (beginning of file) or 0.

#ifndef XBASE32_WDBASE_RELATION_H_
#define XBASE32_WDBASE_RELATION_H_

#include "xbase32/export.h"

class Wdbase;

namespace xbase32 {
struct RelationNode;
class RelationTree;
}  // namespace xbase32

// Where SetSlaveRelation puts a new slave.
enum RelationMaster {
  RelationMaster_Master = 0,     // under the master node
  RelationMaster_LastSlave = 1,  // under the slave node created last
};

class XBASE32_API WdbaseRelation {
 public:
  WdbaseRelation();  // no tree
  ~WdbaseRelation();
  WdbaseRelation(const WdbaseRelation&) = delete;
  WdbaseRelation& operator=(const WdbaseRelation&) = delete;

  // Frees the tree and starts a new one with the open table master.
  int SetMasterRelation(Wdbase* master);
  // A slave under the node of parent (a table already in the tree); expr,
  // tag and the failure rules as for Wdbase::SetSlaveRelation.
  int SetSlaveRelation(Wdbase* parent, Wdbase* slave, const char* expr,
                       const char* tag);
  // A slave under the master node or under the slave created last; other
  // values of where answer 0.
  int SetSlaveRelation(RelationMaster where, Wdbase* slave, const char* expr,
                       const char* tag);
  // Type (0 exact, 1 approximate, 2 scan) of slave's node, or of the slave
  // created last when slave is null; 0 when there is no such node, 1
  // otherwise (other type values are ignored).
  int SetSlaveRelationType(int type, Wdbase* slave = nullptr);

  int SetQuery(const char* expr);
  int SetSort(const char* expr);
  int TopRelation();
  int BottomRelation();
  int NextRelation();
  int PreviousRelation();
  // Forgets the current walk and moves to the top; answers like
  // TopRelation. The flag is not used.
  int RecalculateRelation(bool flag);

 private:
  xbase32::RelationTree* tree_ = nullptr;  // owned
};

#endif  // XBASE32_WDBASE_RELATION_H_
