#include "expr/expr_parser.h"

namespace xbase32 {

void ExprError::Set(int c, const std::string& d0, const std::string& d1,
                    const std::string& d2) {
  code = c;
  details[0] = d0;
  details[1] = d1;
  details[2] = d2;
}

std::string DetailText(std::string_view text) {
  if (text.size() <= kExprMaxDetail) return std::string(text);
  return std::string(text.substr(0, kExprMaxDetail - 3)) + "...";
}

namespace {

std::string UpperName(std::string_view name) {
  std::string s(name);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

class Parser {
 public:
  Parser(const ExprTable* table, std::string_view source, ParsedExpr* out,
         ExprError* error)
      : table_(table), src_(source), scan_(source), out_(out), err_(error) {}

  bool Run();

 private:
  enum class ItemKind : uint8_t { kOperator, kNot, kParen, kCall };
  struct Item {
    ItemKind kind;
    BinaryOp op = BinaryOp::kAdd;
    Function function = Function::kDel;
    int32_t nargs = 0;
    int32_t pos = 0;
  };

  bool Operand(const Token& t, bool* done);
  bool Operator(const Token& t, bool* done);
  bool Name(const Token& t);
  bool Field(const ExprTable* table, std::string_view name, int32_t alias,
             int32_t pos);
  bool PushMarker(Item item);
  bool PushOperator(Item item);
  bool Emit(const Node& node);
  bool EmitItem(const Item& item);
  // Pops operators down to the innermost marker; *marker is the index of
  // the marker or -1.
  bool PopToMarker(int* marker);
  bool FinishCall(const Item& call);
  ItemKind InnermostMarker(bool* found) const;
  bool Fail(int code, std::string_view d1 = "", std::string_view d2 = "");
  std::string_view TokenText(const Token& t) const {
    return src_.substr(static_cast<size_t>(t.pos), static_cast<size_t>(t.len));
  }

  const ExprTable* table_;
  std::string_view src_;
  Scanner scan_;
  ParsedExpr* out_;
  ExprError* err_;
  std::vector<Item> stack_;
  int markers_ = 0;
};

bool Parser::Fail(int code, std::string_view d1, std::string_view d2) {
  err_->Set(code, DetailText(src_), DetailText(d1), DetailText(d2));
  return false;
}

bool Parser::Emit(const Node& node) {
  if (out_->nodes.size() >= kMaxNodes) {
    return Fail(kExprOverflow, "Expression too long");
  }
  out_->nodes.push_back(node);
  return true;
}

bool Parser::EmitItem(const Item& item) {
  Node n;
  n.kind = item.kind == ItemKind::kNot ? NodeKind::kNot : NodeKind::kOperator;
  n.op = item.op;
  n.nargs = item.nargs;
  n.pos = item.pos;
  return Emit(n);
}

bool Parser::PushMarker(Item item) {
  if (markers_ >= kMaxNesting) return Fail(kExprOverflow, "Nesting too deep");
  markers_++;
  return PushOperator(item);
}

bool Parser::PushOperator(Item item) {
  if (stack_.size() >= kMaxNodes) {
    return Fail(kExprOverflow, "Expression too long");
  }
  stack_.push_back(item);
  return true;
}

bool Parser::PopToMarker(int* marker) {
  while (!stack_.empty()) {
    const Item& top = stack_.back();
    if (top.kind == ItemKind::kParen || top.kind == ItemKind::kCall) {
      *marker = static_cast<int>(stack_.size()) - 1;
      return true;
    }
    if (!EmitItem(top)) return false;
    stack_.pop_back();
  }
  *marker = -1;
  return true;
}

Parser::ItemKind Parser::InnermostMarker(bool* found) const {
  for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
    if (it->kind == ItemKind::kParen || it->kind == ItemKind::kCall) {
      *found = true;
      return it->kind;
    }
  }
  *found = false;
  return ItemKind::kOperator;
}

bool Parser::FinishCall(const Item& call) {
  const FunctionInfo& info = GetFunctionInfo(call.function);
  if (call.nargs < info.min_args || call.nargs > info.max_args) {
    return Fail(kExprParameterCount, "Function", info.name);
  }
  Node n;
  n.kind = NodeKind::kFunction;
  n.function = call.function;
  n.nargs = call.nargs;
  n.pos = call.pos;
  return Emit(n);
}

bool Parser::Field(const ExprTable* table, std::string_view name, int32_t alias,
                   int32_t pos) {
  if (name.size() > kMaxNameLength) return Fail(kExprUnknownValue, name);
  const std::string upper = UpperName(name);
  Node n;
  n.kind = NodeKind::kField;
  n.pos = pos;
  n.alias = alias;
  n.field = table->FieldNumber(upper.c_str());
  // A descriptor that does not lie inside the record is treated like an
  // unknown field rather than read out of bounds later.
  if (n.field <= 0 || !table->Field(n.field, &n.info) || n.info.offset < 1 ||
      n.info.width < 0 ||
      static_cast<int64_t>(n.info.offset) + n.info.width >
          table->RecordLength()) {
    return Fail(kExprUnknownField, upper);
  }
  return Emit(n);
}

bool Parser::Name(const Token& t) {
  const std::string_view name = src_.substr(static_cast<size_t>(t.text_pos),
                                            static_cast<size_t>(t.text_len));
  if (scan_.Peek("(")) {
    const FunctionInfo* f = FindFunction(name);
    if (f == nullptr) return Fail(kExprUnknownFunction, name);
    scan_.Accept('(');
    Item call{ItemKind::kCall};
    call.function = f->function;
    call.pos = t.pos;
    if (scan_.Accept(')')) return FinishCall(call);
    return PushMarker(call);
  }
  if (scan_.Peek("->")) {
    scan_.Accept('-');
    scan_.Accept('>');
    const std::string alias = UpperName(name);
    const ExprTable* other = nullptr;
    if (alias.size() <= kMaxNameLength)
      other = table_->FindAlias(alias.c_str());
    if (other == nullptr) return Fail(kExprAliasNotLocated, alias);
    Token field;
    if (!scan_.Next(true, &field) || field.type != TokenType::kName) {
      return Fail(kExprUnknownValue, TokenText(field));
    }
    out_->aliases.push_back(alias);
    return Field(other,
                 src_.substr(static_cast<size_t>(field.text_pos),
                             static_cast<size_t>(field.text_len)),
                 static_cast<int32_t>(out_->aliases.size()) - 1, t.pos);
  }
  return Field(table_, name, -1, t.pos);
}

// One token where an operand is expected. Sets *done when the operand is
// complete (the parser then expects an operator).
bool Parser::Operand(const Token& t, bool* done) {
  *done = false;
  Node n;
  n.pos = t.pos;
  switch (t.type) {
    case TokenType::kEnd:
      return Fail(markers_ > 0 ? kExprRightBracket : kExprNotComplete);
    case TokenType::kLeftParen:
      return PushMarker(
          Item{ItemKind::kParen, BinaryOp::kAdd, Function::kDel, 0, t.pos});
    case TokenType::kNot:
      return PushOperator(
          Item{ItemKind::kNot, BinaryOp::kAdd, Function::kDel, 1, t.pos});
    case TokenType::kNumber:
      n.kind = NodeKind::kNumber;
      n.number = t.number;
      *done = true;
      return Emit(n);
    case TokenType::kString:
      n.kind = NodeKind::kString;
      n.text_pos = t.text_pos;
      n.text_len = t.text_len;
      *done = true;
      return Emit(n);
    case TokenType::kTrue:
    case TokenType::kFalse:
      n.kind = NodeKind::kLogical;
      n.number = t.type == TokenType::kTrue ? 1 : 0;
      *done = true;
      return Emit(n);
    case TokenType::kName: {
      const size_t before = stack_.size();
      if (!Name(t)) return false;
      // A call with arguments left its marker on the stack: its arguments
      // come next.
      *done = stack_.size() == before;
      return true;
    }
    default:
      return Fail(kExprUnknownValue, TokenText(t));
  }
}

// One token where an operator is expected. Sets *done at the end of the
// source.
bool Parser::Operator(const Token& t, bool* done) {
  *done = false;
  int marker;
  switch (t.type) {
    case TokenType::kEnd:
      if (!PopToMarker(&marker)) return false;
      if (marker >= 0) return Fail(kExprRightBracket);
      *done = true;
      return true;
    case TokenType::kOperator: {
      const int p = Priority(t.op);
      const bool chain = t.op == BinaryOp::kAnd || t.op == BinaryOp::kOr;
      while (!stack_.empty()) {
        const Item& top = stack_.back();
        if (top.kind == ItemKind::kParen || top.kind == ItemKind::kCall) break;
        const int q =
            top.kind == ItemKind::kNot ? kNotPriority : Priority(top.op);
        if (q < p || (chain && q == p)) break;
        if (!EmitItem(top)) return false;
        stack_.pop_back();
      }
      if (chain && !stack_.empty() &&
          stack_.back().kind == ItemKind::kOperator &&
          stack_.back().op == t.op) {
        stack_.back().nargs++;
        return true;
      }
      return PushOperator(
          Item{ItemKind::kOperator, t.op, Function::kDel, 2, t.pos});
    }
    case TokenType::kRightParen: {
      if (!PopToMarker(&marker)) return false;
      if (marker < 0) return Fail(kExprNotComplete, ")");
      Item item = stack_[static_cast<size_t>(marker)];
      stack_.pop_back();
      markers_--;
      if (item.kind == ItemKind::kParen) return true;
      item.nargs++;
      return FinishCall(item);
    }
    case TokenType::kComma:
      if (!PopToMarker(&marker)) return false;
      if (marker < 0) return Fail(kExprNotComplete, ",");
      if (stack_[static_cast<size_t>(marker)].kind == ItemKind::kParen) {
        return Fail(kExprRightBracket, ",");
      }
      stack_[static_cast<size_t>(marker)].nargs++;
      return true;  // an operand follows
    case TokenType::kNot:
    case TokenType::kArrow:
    case TokenType::kUnknown:
      return Fail(kExprUnknownOperator, TokenText(t));
    default: {
      // An operand where an operator, a separator or the end belongs.
      bool found;
      const ItemKind kind = InnermostMarker(&found);
      if (!found) return Fail(kExprNotComplete, TokenText(t));
      return Fail(
          kind == ItemKind::kCall ? kExprCommaOrBracket : kExprRightBracket,
          TokenText(t));
    }
  }
}

bool Parser::Run() {
  bool operand = true;
  for (;;) {
    Token t;
    if (!scan_.Next(operand, &t)) {
      return Fail(kExprUnterminated, TokenText(t));
    }
    bool done;
    if (operand) {
      if (!Operand(t, &done)) return false;
      if (done) operand = false;
    } else {
      if (!Operator(t, &done)) return false;
      if (done) return true;
      // After ")" an operator follows; after anything else an operand.
      operand = t.type != TokenType::kRightParen;
    }
  }
}

}  // namespace

bool ParseToPostfix(const ExprTable* table, std::string_view source,
                    ParsedExpr* out, ExprError* error) {
  *out = ParsedExpr();
  *error = ExprError();
  Parser parser(table, source, out, error);
  return parser.Run();
}

}  // namespace xbase32
