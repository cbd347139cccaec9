#include "expr/expr_compile.h"

#include <cmath>
#include <cstring>

namespace xbase32 {

namespace {

// One typed variant of an operation: argument types (only 'C', 'n', 'd' and
// 'L' are declared), result type and the operation that implements it.
struct Variant {
  const char* args;
  char result;
  Opcode code;
};

constexpr Variant kArithmetic[] = {{"nn", 'n', Opcode::kMultiply}};
constexpr Variant kAdd[] = {{"CC", 'C', Opcode::kConcat},
                            {"nn", 'n', Opcode::kAddNumber},
                            {"dn", 'd', Opcode::kAddDateNumber},
                            {"nd", 'd', Opcode::kAddNumberDate}};
constexpr Variant kSubtract[] = {{"CC", 'C', Opcode::kConcatMoveBlanks},
                                 {"nn", 'n', Opcode::kSubNumber},
                                 {"dd", 'n', Opcode::kSubDates},
                                 {"dn", 'd', Opcode::kSubDateNumber}};
constexpr Variant kEquality[] = {{"CC", 'L', Opcode::kCompareText},
                                 {"nn", 'L', Opcode::kCompareNumber},
                                 {"dd", 'L', Opcode::kCompareNumber},
                                 {"LL", 'L', Opcode::kCompareLogical}};
constexpr Variant kOrdering[] = {{"CC", 'L', Opcode::kCompareText},
                                 {"nn", 'L', Opcode::kCompareNumber},
                                 {"dd", 'L', Opcode::kCompareNumber}};
constexpr Variant kTextPair[] = {{"CC", 'L', Opcode::kContains}};
constexpr Variant kNotVariant[] = {{"L", 'L', Opcode::kNot}};
constexpr Variant kIifVariants[] = {{"LCC", 'C', Opcode::kIif},
                                    {"Lnn", 'n', Opcode::kIif},
                                    {"Ldd", 'd', Opcode::kIif},
                                    {"LLL", 'L', Opcode::kIif}};
constexpr Variant kStrVariants[] = {{"n", 'C', Opcode::kStr},
                                    {"nn", 'C', Opcode::kStr},
                                    {"nnn", 'C', Opcode::kStr}};
constexpr Variant kSubstrVariants[] = {{"Cn", 'C', Opcode::kSubstr},
                                       {"Cnn", 'C', Opcode::kSubstr}};

struct VariantList {
  const Variant* v;
  size_t n;
};

template <size_t N>
constexpr VariantList List(const Variant (&v)[N]) {
  return {v, N};
}

// Single-variant functions, in the order of the Function enumeration
// (IIF, STR, SUBSTR and LEFT are handled apart).
struct Simple {
  const char* args;
  char result;
  Opcode code;
};
constexpr Simple kSimple[] = {
    {"", 'C', Opcode::kDel},      {"", 'L', Opcode::kDeleted},
    {"", 'n', Opcode::kRecNo},    {"", 'n', Opcode::kRecCount},
    {"", 'C', Opcode::kStr},      {"", 'C', Opcode::kSubstr},
    {"Cn", 'C', Opcode::kSubstr}, {"", 'C', Opcode::kTime},
    {"C", 'C', Opcode::kUpper},   {"d", 'C', Opcode::kDtos},
    {"d", 'C', Opcode::kDtoc},    {"C", 'C', Opcode::kTrim},
    {"C", 'C', Opcode::kLtrim},   {"", 'C', Opcode::kIif},
    {"C", 'd', Opcode::kStod},    {"C", 'd', Opcode::kCtod},
    {"", 'd', Opcode::kDate},     {"d", 'n', Opcode::kDay},
    {"d", 'n', Opcode::kMonth},   {"d", 'n', Opcode::kYear},
    {"C", 'n', Opcode::kVal},     {"nCC", 'C', Opcode::kCx},
    {"", 'n', Opcode::kPageNo},   {"C", 'C', Opcode::kDescend},
};

bool Accepts(char declared, char actual) {
  return declared == actual || (declared == 'n' && actual == 'N') ||
         (declared == 'd' && actual == 'D');
}

int32_t ResultLength(char type, int32_t text_length) {
  switch (type) {
    case 'L':
      return 4;
    case 'n':
    case 'd':
      return 8;
    default:
      return text_length;
  }
}

// A numeric constant argument as an int32_t (truncated toward zero,
// clamped; NaN reads as 0).
int32_t ConstantInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

class Compiler {
 public:
  Compiler(std::string_view source, const ParsedExpr& parsed, Program* prog,
           ExprError* error)
      : src_(source), parsed_(parsed), prog_(prog), err_(error) {}

  bool Run();

 private:
  struct Entry {
    char type;
    int32_t length;
    size_t instr;  // index of the producing instruction in code_
  };

  bool Operand(const Node& n);
  bool Operation(const Node& n);
  bool Resolve(VariantList list, const char* name, int32_t nargs,
               const Variant** chosen);
  bool NeedConstant(const Entry& e, const char* name, double* value);
  bool Finish();
  bool Fail(int code, std::string_view d1 = "", std::string_view d2 = "") {
    err_->Set(code, DetailText(src_), DetailText(d1), DetailText(d2));
    return false;
  }
  const Entry& Arg(int32_t nargs, int32_t i) const {
    return stack_[stack_.size() - static_cast<size_t>(nargs) +
                  static_cast<size_t>(i)];
  }

  std::string_view src_;
  const ParsedExpr& parsed_;
  Program* prog_;
  ExprError* err_;
  std::vector<Instr> code_;
  std::vector<bool> dead_;      // folded constant arguments
  std::vector<double> number_;  // value of each numeric constant
  std::vector<Entry> stack_;
  int32_t single_field_decimals_ = -1;
};

bool Compiler::Operand(const Node& n) {
  Instr in;
  number_.resize(code_.size() + 1);
  if (n.kind == NodeKind::kField) {
    const ExprField& f = n.info;
    in.p[0] = f.offset;
    in.p[1] = f.width;
    in.p[2] = n.field;
    if (n.alias >= 0) {
      AliasField a;
      a.alias = parsed_.aliases[static_cast<size_t>(n.alias)];
      a.field = n.field;
      a.type = f.type;
      a.width = f.width;
      a.offset = f.offset;
      in.alias = static_cast<int32_t>(prog_->aliases.size());
      prog_->aliases.push_back(a);
    }
    switch (f.type) {
      case 'N':
      case 'F':
        if (f.decimals > 0) {
          in.code = Opcode::kFieldNumber;
          in.type = 'n';
          single_field_decimals_ = f.decimals;
        } else {
          in.code = Opcode::kFieldText;
          in.type = 'N';
          single_field_decimals_ = 0;
        }
        break;
      case 'D':
        in.code = Opcode::kFieldText;
        in.type = f.width == 8 ? 'D' : 'C';
        break;
      case 'L':
        in.code = Opcode::kFieldLogical;
        in.type = 'L';
        break;
      case 'M':
      case 'G':
        in.code = Opcode::kFieldMemo;
        in.type = 'C';
        in.length = kMemoLength;
        break;
      default:
        in.code = Opcode::kFieldText;
        in.type = 'C';
        break;
    }
    if (in.code != Opcode::kFieldMemo) {
      in.length = ResultLength(in.type, f.width);
    }
  } else {
    in.code = Opcode::kConstant;
    switch (n.kind) {
      case NodeKind::kNumber:
        in.type = 'n';
        in.length = 8;
        number_.back() = n.number;
        break;
      case NodeKind::kString:
        in.type = 'C';
        in.length = n.text_len;
        in.p[1] = n.text_pos;  // moved to the constants area by Finish()
        break;
      default:
        in.type = 'L';
        in.length = 4;
        number_.back() = n.number;
        break;
    }
  }
  stack_.push_back(Entry{in.type, in.length, code_.size()});
  code_.push_back(in);
  dead_.push_back(false);
  return true;
}

bool Compiler::Resolve(VariantList list, const char* name, int32_t nargs,
                       const Variant** chosen) {
  for (size_t k = 0; k < list.n; k++) {
    const Variant& v = list.v[k];
    if (static_cast<int32_t>(std::strlen(v.args)) != nargs) continue;
    bool match = true;
    for (int32_t i = 0; i < nargs && match; i++) {
      match = Accepts(v.args[i], Arg(nargs, i).type);
    }
    if (!match) continue;
    // Field values taken as numbers or dates are converted by the field
    // operation itself.
    for (int32_t i = 0; i < nargs; i++) {
      Entry& e = stack_[stack_.size() - static_cast<size_t>(nargs) +
                        static_cast<size_t>(i)];
      if (e.type == v.args[i]) continue;
      Instr& producer = code_[e.instr];
      producer.code = e.type == 'N' ? Opcode::kFieldNumber : Opcode::kFieldDate;
      producer.type = v.args[i];
      producer.length = 8;
      e.type = v.args[i];
      e.length = 8;
    }
    *chosen = &v;
    return true;
  }
  return Fail(kExprTypeWrong, name);
}

bool Compiler::NeedConstant(const Entry& e, const char* name, double* value) {
  const Instr& in = code_[e.instr];
  if (in.code != Opcode::kConstant || in.type != 'n') {
    return Fail(kExprNeedsConstant, name);
  }
  *value = number_[e.instr];
  dead_[e.instr] = true;
  return true;
}

bool Compiler::Operation(const Node& n) {
  const int32_t nargs = n.nargs;
  if (nargs < 0 || stack_.size() < static_cast<size_t>(nargs)) {
    return Fail(kExprNotComplete);
  }
  Instr in;
  in.nargs = nargs;
  const Variant* v = nullptr;
  const char* name = "";
  Variant simple;

  if (n.kind == NodeKind::kNot) {
    name = ".NOT.";
    if (!Resolve(List(kNotVariant), name, nargs, &v)) return false;
  } else if (n.kind == NodeKind::kOperator) {
    name = OperatorText(n.op);
    if (n.op == BinaryOp::kAnd || n.op == BinaryOp::kOr) {
      for (int32_t i = 0; i < nargs; i++) {
        if (Arg(nargs, i).type != 'L') return Fail(kExprTypeWrong, name);
      }
      simple = {"", 'L', n.op == BinaryOp::kAnd ? Opcode::kAnd : Opcode::kOr};
      v = &simple;
    } else {
      VariantList list = List(kOrdering);
      switch (n.op) {
        case BinaryOp::kPower:
        case BinaryOp::kMultiply:
        case BinaryOp::kDivide:
          list = List(kArithmetic);
          break;
        case BinaryOp::kAdd:
          list = List(kAdd);
          break;
        case BinaryOp::kSubtract:
          list = List(kSubtract);
          break;
        case BinaryOp::kEqual:
        case BinaryOp::kNotEqual:
          list = List(kEquality);
          break;
        case BinaryOp::kContains:
        case BinaryOp::kContainsNoCase:
          list = List(kTextPair);
          break;
        default:
          break;
      }
      if (!Resolve(list, name, nargs, &v)) return false;
    }
  } else {
    const FunctionInfo& info = GetFunctionInfo(n.function);
    name = info.name;
    switch (n.function) {
      case Function::kIif:
        if (!Resolve(List(kIifVariants), name, nargs, &v)) return false;
        break;
      case Function::kStr:
        if (!Resolve(List(kStrVariants), name, nargs, &v)) return false;
        break;
      case Function::kSubstr:
        if (!Resolve(List(kSubstrVariants), name, nargs, &v)) return false;
        break;
      default: {
        const Simple& s = kSimple[static_cast<int>(n.function)];
        simple = {s.args, s.result, s.code};
        if (!Resolve({&simple, 1}, name, nargs, &v)) return false;
        break;
      }
    }
  }

  in.code = v->code;
  in.type = v->result;
  in.length = ResultLength(in.type, 0);
  for (int32_t i = 0; i < nargs && i < 2; i++) {
    in.arg_length[i] = Arg(nargs, i).length;
  }
  double c1 = 0, c2 = 0;
  switch (in.code) {
    case Opcode::kMultiply:
      if (n.op == BinaryOp::kPower) in.code = Opcode::kPower;
      if (n.op == BinaryOp::kDivide) in.code = Opcode::kDivide;
      break;
    case Opcode::kConcat:
    case Opcode::kConcatMoveBlanks: {
      const int64_t sum =
          static_cast<int64_t>(in.arg_length[0]) + in.arg_length[1];
      if (sum > kMaxWorkArea) return Fail(kExprOverflow, name);
      in.length = static_cast<int32_t>(sum);
      break;
    }
    case Opcode::kCompareText:
    case Opcode::kCompareNumber:
    case Opcode::kCompareLogical:
      switch (n.op) {
        case BinaryOp::kNotEqual:
          in.p[0] = static_cast<int32_t>(Compare::kNotEqual);
          break;
        case BinaryOp::kLess:
          in.p[0] = static_cast<int32_t>(Compare::kLess);
          break;
        case BinaryOp::kLessEqual:
          in.p[0] = static_cast<int32_t>(Compare::kLessEqual);
          break;
        case BinaryOp::kGreater:
          in.p[0] = static_cast<int32_t>(Compare::kGreater);
          break;
        case BinaryOp::kGreaterEqual:
          in.p[0] = static_cast<int32_t>(Compare::kGreaterEqual);
          break;
        default:
          in.p[0] = static_cast<int32_t>(Compare::kEqual);
          break;
      }
      break;
    case Opcode::kContains:
      if (n.op == BinaryOp::kContainsNoCase) {
        in.code = Opcode::kContainsNoCase;
        in.p[0] = static_cast<int32_t>(prog_->bang_cache.size());
        prog_->bang_cache.emplace_back();
      }
      break;
    case Opcode::kStr: {
      // STR(n [, len [, dec]]): len 10 by default and when negative; dec
      // 0 by default, reduced to len - 2 when dec + 1 >= len, never below 0.
      int32_t len = 10, dec = 0;
      if (nargs >= 2) {
        if (!NeedConstant(Arg(nargs, 1), name, &c1)) return false;
        len = ConstantInt(c1);
        if (len < 0) len = 10;
      }
      if (nargs >= 3) {
        if (!NeedConstant(Arg(nargs, 2), name, &c2)) return false;
        dec = ConstantInt(c2);
      }
      if (static_cast<int64_t>(dec) + 1 >= len) dec = len - 2;
      if (dec < 0) dec = 0;
      if (len > kMaxWorkArea) return Fail(kExprOverflow, name);
      in.length = len;
      in.p[0] = len;
      in.p[1] = dec;
      in.nargs = 1;
      break;
    }
    case Opcode::kSubstr: {
      // SUBSTR(c, start [, len]) and LEFT(c, len). Without len, SUBSTR
      // gives an empty text. A start before 1 counts as 1.
      const int32_t avail = in.arg_length[0];
      int32_t start = 1, len = 0;
      if (n.function == Function::kLeft) {
        if (!NeedConstant(Arg(nargs, 1), name, &c1)) return false;
        len = ConstantInt(c1);
      } else {
        if (!NeedConstant(Arg(nargs, 1), name, &c1)) return false;
        start = ConstantInt(c1);
        if (nargs == 3) {
          if (!NeedConstant(Arg(nargs, 2), name, &c2)) return false;
          len = ConstantInt(c2);
        }
      }
      const int32_t from =
          start < 1 ? 0 : (start - 1 < avail ? start - 1 : avail);
      if (len < 0) len = 0;
      if (len > avail - from) len = avail - from;
      in.length = len;
      in.p[0] = from;
      in.nargs = 1;
      break;
    }
    case Opcode::kCx: {
      // CX(len, routine, value): the length is the call's own first
      // argument, a numeric constant; 0 or less gives an empty result.
      if (!NeedConstant(Arg(nargs, 0), name, &c1)) return false;
      int32_t len = ConstantInt(c1);
      if (len < 0) len = 0;
      if (len > kMaxWorkArea) return Fail(kExprOverflow, name);
      in.length = len;
      in.arg_length[0] = Arg(nargs, 1).length;
      in.arg_length[1] = Arg(nargs, 2).length;
      in.nargs = 2;
      break;
    }
    case Opcode::kIif:
      if (in.type == 'C') {
        if (Arg(nargs, 1).length != Arg(nargs, 2).length) {
          return Fail(kExprIifLength, name);
        }
        in.length = Arg(nargs, 1).length;
      }
      break;
    case Opcode::kDel:
      in.length = 1;
      break;
    case Opcode::kTime:
    case Opcode::kDtos:
      in.length = 8;
      break;
    case Opcode::kDtoc:
      in.length = static_cast<int32_t>(std::strlen(kDatePicture));
      break;
    case Opcode::kUpper:
    case Opcode::kTrim:
    case Opcode::kLtrim:
    case Opcode::kDescend:
      in.length = in.arg_length[0];
      if (in.code == Opcode::kTrim || in.code == Opcode::kLtrim) {
        prog_->uses_trim = true;
      }
      break;
    default:
      break;
  }
  stack_.resize(stack_.size() - static_cast<size_t>(nargs));
  stack_.push_back(Entry{in.type, in.length, code_.size()});
  code_.push_back(in);
  dead_.push_back(false);
  number_.resize(code_.size());
  return true;
}

// Drops folded constants, fills the constants area, places the results in
// the work area and measures the value stack.
bool Compiler::Finish() {
  if (stack_.size() != 1) return Fail(kExprNotComplete);
  std::vector<Instr> live;
  std::vector<char>& k = prog_->constants;
  for (size_t i = 0; i < code_.size(); i++) {
    if (dead_[i]) continue;
    Instr in = code_[i];
    if (in.code == Opcode::kConstant) {
      const size_t at = (k.size() + 7) & ~size_t{7};
      const size_t need = static_cast<size_t>(in.length);
      if (at + need > kMaxConstants) {
        return Fail(kExprOverflow, "Too many constants");
      }
      k.resize(at + need);
      if (in.type == 'C') {
        if (need > 0) std::memcpy(k.data() + at, src_.data() + in.p[1], need);
      } else if (in.type == 'n') {
        std::memcpy(k.data() + at, &number_[i], 8);
      } else {
        const int32_t b = number_[i] != 0 ? 1 : 0;
        std::memcpy(k.data() + at, &b, 4);
      }
      in.p[0] = static_cast<int32_t>(at);
    }
    live.push_back(in);
  }
  // Never empty, so that an empty text constant has a valid address.
  if (k.size() < 8) k.resize(8);
  int64_t work = 0;
  int32_t depth = 0;
  for (size_t i = 0; i < live.size(); i++) {
    Instr& in = live[i];
    // Constants and text fields of the own data file are read in place;
    // an aliased field is copied, as its data file may be gone.
    const bool in_place = in.code == Opcode::kConstant ||
                          (in.code == Opcode::kFieldText && in.alias < 0);
    // The result of the whole expression always lies in the work area.
    if (!in_place || i + 1 == live.size()) {
      work = (work + 7) & ~int64_t{7};
      in.slot = static_cast<int32_t>(work);
      work += in.length;
      if (work > kMaxWorkArea) return Fail(kExprOverflow, "Work area");
    }
    depth += 1 - in.nargs;
    if (depth > prog_->max_stack) prog_->max_stack = depth;
  }
  const Instr& last = live.back();
  prog_->type = last.type;
  prog_->length = last.length;
  prog_->work_size = work;
  switch (last.type) {
    case 'C':
    case 'N':
      prog_->key_length = last.length;
      prog_->key_decimals = 0;
      break;
    case 'n':
      // A numeric field used directly keys with its own width and decimals.
      if (live.size() == 1 && last.code == Opcode::kFieldNumber) {
        prog_->key_length = last.p[1];
        prog_->key_decimals = single_field_decimals_;
      } else {
        prog_->key_length = 17;
        prog_->key_decimals = 2;
      }
      break;
    case 'D':
    case 'd':
      prog_->key_length = 8;
      break;
    default:
      prog_->key_length = 0;  // logical values make no key
      break;
  }
  prog_->code = std::move(live);
  return true;
}

bool Compiler::Run() {
  for (const Node& n : parsed_.nodes) {
    const bool ok = n.kind == NodeKind::kOperator || n.kind == NodeKind::kNot ||
                            n.kind == NodeKind::kFunction
                        ? Operation(n)
                        : Operand(n);
    if (!ok) return false;
  }
  return Finish();
}

}  // namespace

bool Compile(std::string_view source, const ParsedExpr& parsed,
             Program* program, ExprError* error) {
  *program = Program();
  Compiler c(source, parsed, program, error);
  return c.Run();
}

}  // namespace xbase32
