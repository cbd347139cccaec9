// Relations: trees of open tables in which a master positions its slaves.
//
// Whenever the master of a tree moves to a record, every slave is
// positioned on the record belonging to its parent's record (depth first,
// children in creation order): the slave's master expression is evaluated
// on the parent's current record and its value sought in the slave's
// relation order (an index, which positioning makes the slave's selected
// order), or taken as a record number when the slave has no order. A parent
// standing at end of file leaves its slaves there too.
//
// The tree can be walked as a whole (Top, Next, ...), restricted by a query
// and ordered by a sort expression; both are applied from every Top on. A
// walk steps through every composite record: with scan slaves through each
// matching slave record, the last scan slave in depth-first order varying
// fastest (nested loops).
//
// Ownership: a tree is owned by whoever created it (a Wdbase made master,
// or a WdbaseRelation); its nodes refer to tables they do not own. Every
// live tree is registered process-wide, so that a table that closes or dies
// is detached from every tree first (DetachEverywhere): its node and the
// nodes below it are freed, and tables whose current relation pointed to a
// freed node forget it. Freeing a tree does the same for all its nodes.
//
// Failures are reported through ReportError and answered as stated.
// Single-threaded, like the tables.

#ifndef XBASE32_RELATION_H_
#define XBASE32_RELATION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Wdbase;

namespace xbase32 {

class Expr;
class RelationList;
class RelationTree;

enum class RelationType : int {
  kExact = 0,        // only an exact key match positions the slave
  kApproximate = 1,  // the first key not smaller; past the last: end of file
  kScan = 2,         // one to many: every record with a matching key
};

// What happens when no slave record matches.
enum class NoMatch {
  kBlank,       // the slave stands at end of file (blank record)
  kSkipMaster,  // the composite record is left out of the walk
  kReport,      // -710 "Matching Slave Record Not Located"; the walk fails
};

// Detail text of the -720 type-mismatch report.
extern const char kTypeMismatchText[];

// The key type a value of expression type t (Expr::type) is sought as: 'C'
// text, 'N' number, 'D' date; 'L' never matches a key.
char RelationKeyType(char t);

// One table of a tree.
struct RelationNode {
  Wdbase* table = nullptr;
  RelationNode* parent = nullptr;  // null for the master
  RelationTree* tree = nullptr;
  std::vector<std::unique_ptr<RelationNode>> children;  // creation order
  // Master expression, parsed against the parent's data file.
  std::unique_ptr<Expr> expr;
  int order = 0;  // relation order: index 1..n of the slave; 0 record number
  RelationType type = RelationType::kExact;
  NoMatch no_match = NoMatch::kBlank;
  // Positioning state: the key sought last (as the index compares it) and
  // whether the slave stands on a record belonging to its parent's record.
  std::string key;
  bool matched = false;

  RelationNode();
  ~RelationNode();
};

class RelationTree {
 public:
  // A tree whose master is the open table master.
  explicit RelationTree(Wdbase* master);
  ~RelationTree();
  RelationTree(const RelationTree&) = delete;
  RelationTree& operator=(const RelationTree&) = delete;

  // The master node; null once the master table was detached.
  RelationNode* master() const { return master_.get(); }
  // The slave node created last and still in the tree, or null.
  RelationNode* last_slave() const { return last_slave_; }
  // The node of table, or null.
  RelationNode* Find(const Wdbase* table) const;

  // Creates a slave node under parent (a node of this tree) for the open
  // table slave. expr (ANSI when the parent's conversion mode is on) is
  // parsed against the parent's data file. tag names the slave's index
  // order (an index file name, extension optional); null or empty relates
  // by record number. The value's type must be the order's key type
  // (numeric without an order), else -720 with kTypeMismatchText. A table
  // may appear once per tree. Answers the new node, or null with the tree
  // unchanged.
  RelationNode* AddSlave(RelationNode* parent, Wdbase* slave, const char* expr,
                         const char* tag);
  // Sets the type of node (a node of this tree). False for unknown types.
  bool SetType(RelationNode* node, int type);

  // Query (logical) and sort expressions over the composite record, parsed
  // against the master's data file (other tables by alias). Null or empty
  // removes them. False on a parse or type error (reported); the old
  // expression stays.
  bool SetQuery(const char* expr);
  bool SetSort(const char* expr);

  // Forgets the current walk: the next step starts from the top.
  void MarkChanged();

  // The walk. Answers 1 on a composite record, 2 at end of file (the set is
  // empty for Top and Bottom; every table then stands at end of file), 3 at
  // beginning of file (the first composite record stays current), 0 on
  // error (reported).
  int Top();
  int Bottom();
  int Next();
  int Previous();

  // Removes table's node and every node below it; the master's removal
  // empties the tree (query and sort included).
  void Detach(const Wdbase* table);
  // Detach on every live tree of the process.
  static void DetachEverywhere(const Wdbase* table);

 private:
  enum class Step { kOk, kSkip, kEof, kBof, kError };

  std::unique_ptr<Expr> ParseOnMaster(const char* source) const;
  void DropSubtree(RelationNode* node);
  void RebuildOrder();

  // relation_walk.cc: positioning and the walk without query and sort.
  Step PositionOne(RelationNode* n, bool last);
  Step PositionFrom(size_t first, bool last);
  Step ApplyNoMatch(RelationNode* n);
  int SeekSlave(RelationNode* n);
  bool KeyMatches(const RelationNode* n) const;
  void ToLastMatch(RelationNode* n);
  bool Advance(RelationNode* n, bool forward);
  Step RawTop();
  Step RawBottom();
  Step RawNext();
  Step RawPrevious();
  Step Forward(Step s);
  Step Backward(Step s);
  // A master exists and every table the query and sort name is open;
  // otherwise reports -720 and answers false.
  bool Ready();
  bool Accepted();
  void AllEof();
  int Answer(Step s);

  // relation_sort.cc: the sorted walk.
  bool BuildList();
  int ShowEntry(int64_t i);
  void Snapshot(std::vector<int32_t>* recnos) const;

  std::unique_ptr<RelationNode> master_;
  RelationNode* last_slave_ = nullptr;
  std::vector<RelationNode*> nodes_;  // depth-first order, master first
  std::string query_text_;
  std::unique_ptr<Expr> query_;
  std::string sort_text_;
  std::unique_ptr<Expr> sort_;
  bool changed_ = true;
  std::unique_ptr<RelationList> list_;  // the sorted set, when sorting
  int64_t pos_ = 0;                     // current entry of list_

  RelationTree* prev_ = nullptr;  // process-wide list of live trees
  RelationTree* next_ = nullptr;
};

// When w is destroyed: detaches it from every tree and frees the tree it
// owns.
void ReleaseRelations(Wdbase* w);

}  // namespace xbase32

#endif  // XBASE32_RELATION_H_
