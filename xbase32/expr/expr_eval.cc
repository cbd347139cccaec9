#include "expr/expr_eval.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "expr/date_picture.h"
#include "expr/day_number.h"
#include "expr/expr.h"
#include "expr/expr_compile.h"
#include "expr/expr_registry.h"
#include "expr/number_format.h"
#include "platform/codepage.h"
#include "platform/env.h"

namespace xbase32 {

namespace {

double GetNumber(const char* p) {
  double v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}

void PutNumber(char* out, double v) { std::memcpy(out, &v, sizeof(v)); }

bool GetLogical(const char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof(v));
  return v != 0;
}

void PutLogical(char* out, bool b) {
  const int32_t v = b ? 1 : 0;
  std::memcpy(out, &v, sizeof(v));
}

// A day number held as a double, as an int32_t (0 when it is none).
int32_t ToDay(double v) {
  if (!(v >= -2147483648.0 && v <= 2147483647.0)) return 0;
  return static_cast<int32_t>(v);
}

// An unsigned decimal number at the start of n bytes (leading blanks
// skipped), saturated at UINT32_MAX.
uint32_t ParseUnsigned(const char* p, size_t n) {
  size_t i = 0;
  while (i < n && (p[i] == ' ' || p[i] == '\t')) i++;
  if (i < n && p[i] == '+') i++;
  uint64_t v = 0;
  for (; i < n && p[i] >= '0' && p[i] <= '9'; i++) {
    v = v * 10 + static_cast<uint64_t>(p[i] - '0');
    if (v > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(v);
}

bool CompareTexts(Compare c, const char* a, int32_t la, const char* b,
                  int32_t lb) {
  const int32_t m = la < lb ? la : lb;
  const int r = m > 0 ? std::memcmp(a, b, static_cast<size_t>(m)) : 0;
  const bool less = r < 0 || (r == 0 && la < lb);
  const bool greater = r > 0 || (r == 0 && la > lb);
  switch (c) {
    case Compare::kEqual:
      return r == 0;
    case Compare::kNotEqual:
      return r != 0;
    case Compare::kLess:
      return less;
    case Compare::kGreaterEqual:
      return !less;
    case Compare::kGreater:
      return greater;
    case Compare::kLessEqual:
      return !greater;
  }
  return false;
}

bool CompareNumbers(Compare c, double a, double b) {
  switch (c) {
    case Compare::kEqual:
      return a == b;
    case Compare::kNotEqual:
      return a != b;
    case Compare::kLess:
      return a < b;
    case Compare::kLessEqual:
      return a <= b;
    case Compare::kGreater:
      return a > b;
    case Compare::kGreaterEqual:
      return a >= b;
  }
  return false;
}

class Evaluator {
 public:
  Evaluator(const ExprTable* table, Program* prog, EvalFrame* frame)
      : table_(table), prog_(prog), frame_(frame) {}

  const char* Run();

 private:
  const char* FieldBase(const Instr& in);
  int32_t Memo(const Instr& in, char* out);
  bool Bang(const Instr& in, const char* a, const char* b);
  bool ResolveOperand(const char* p, int32_t n, std::string* out);
  bool NestedLogical(ExprHandle h, BangCache* cache);
  void Cx(const Instr& in, const char* a, const char* b, char* out);

  const ExprTable* table_;
  Program* prog_;
  EvalFrame* frame_;
  const char* rec_ = nullptr;
};

// Start of a field's bytes in its record, or null when an aliased data file
// is not open or no longer has the field that was parsed.
const char* Evaluator::FieldBase(const Instr& in) {
  if (in.alias < 0) return rec_ + in.p[0];
  const AliasField& a = prog_->aliases[static_cast<size_t>(in.alias)];
  const ExprTable* t = table_->FindAlias(a.alias.c_str());
  if (t == nullptr) return nullptr;
  ExprField f;
  if (!t->Field(a.field, &f) || f.type != a.type || f.width != a.width ||
      f.offset != a.offset ||
      static_cast<int64_t>(f.offset) + f.width > t->RecordLength()) {
    return nullptr;
  }
  const char* r = t->RecordBytes();
  return r == nullptr ? nullptr : r + f.offset;
}

int32_t Evaluator::Memo(const Instr& in, char* out) {
  const ExprTable* t = table_;
  if (in.alias >= 0) {
    if (FieldBase(in) == nullptr) return 0;
    t = table_->FindAlias(
        prog_->aliases[static_cast<size_t>(in.alias)].alias.c_str());
  }
  const int32_t n = t->MemoText(in.p[2], out, kMemoLength);
  return n < 0 ? 0 : (n > kMemoLength ? kMemoLength : n);
}

// The text of one "!" operand: the registered text of a "!*n*!" token, or
// the operand's bytes up to the first NUL. False for a token whose handle is
// unknown.
bool Evaluator::ResolveOperand(const char* p, int32_t n, std::string* out) {
  ExprHandle h;
  if (ParseToken(p, static_cast<size_t>(n), TokenKind::kText, &h)) {
    return LookupText(h, out);
  }
  const void* nul = std::memchr(p, '\0', static_cast<size_t>(n));
  const size_t len =
      nul == nullptr ? static_cast<size_t>(n)
                     : static_cast<size_t>(static_cast<const char*>(nul) - p);
  out->assign(p, len);
  return true;
}

// The logical value of the expression registered under h, parsed against
// the same data file (false when unknown, not parsable or not logical).
bool Evaluator::NestedLogical(ExprHandle h, BangCache* cache) {
  if (!IsRegisteredText(h)) return false;
  if (cache->handle != h) {
    cache->expr.reset();
    cache->handle = h;
    std::string text;
    if (!LookupText(h, &text)) return false;
    ExprError err;
    cache->expr = Expr::Parse(table_, text.c_str(), &err);
  }
  const std::shared_ptr<Expr> nested = cache->expr;
  if (nested == nullptr || nested->type() != 'L') return false;
  return nested->EvaluateLogical();
}

// left ! right: case-insensitive containment after OEM to ANSI conversion,
// with text and expression reference tokens.
bool Evaluator::Bang(const Instr& in, const char* a, const char* b) {
  ExprHandle h;
  if (ParseToken(a, static_cast<size_t>(in.arg_length[0]),
                 TokenKind::kExpression, &h)) {
    return NestedLogical(h, &prog_->bang_cache[static_cast<size_t>(in.p[0])]);
  }
  std::string& left = frame_->left;
  std::string& right = frame_->right;
  if (!ResolveOperand(a, in.arg_length[0], &left) ||
      !ResolveOperand(b, in.arg_length[1], &right)) {
    return false;
  }
  platform::OemToAnsi(left.data(), left.size());
  platform::OemToAnsi(right.data(), right.size());
  UpperAnsi(left.data(), left.size());
  UpperAnsi(right.data(), right.size());
  return right.find(left) != std::string::npos;
}

// CX(len, routine, value): blanks, unless routine names a registered CX
// routine, which then fills a scratch buffer of len blanks.
void Evaluator::Cx(const Instr& in, const char* a, const char* b, char* out) {
  const int32_t len = in.length;
  std::memset(out, ' ', static_cast<size_t>(len));
  const uint32_t routine_number =
      ParseUnsigned(a, static_cast<size_t>(in.arg_length[0]));
  const uint32_t value =
      ParseUnsigned(b, static_cast<size_t>(in.arg_length[1]));
  if (len == 0 || routine_number == 0 || routine_number > INT32_MAX) return;
  CxRoutine routine;
  void* context;
  std::shared_ptr<void> keep;  // an owned context lives through the call
  if (!LookupCxRoutine(static_cast<ExprHandle>(routine_number), &routine,
                       &context, &keep)) {
    return;
  }
  std::vector<char>& s = frame_->scratch;
  s.assign(static_cast<size_t>(len) + 1, ' ');
  s[static_cast<size_t>(len)] = '\0';
  CxBlock block{s.data(), value, context, len, table_, b, in.arg_length[1]};
  routine(&block, len, value);
  // The routine may have replaced block.buffer; only the scratch buffer is
  // trusted.
  std::memcpy(out, s.data(), static_cast<size_t>(len));
}

const char* Evaluator::Run() {
  rec_ = table_->RecordBytes();
  if (rec_ == nullptr) {
    std::vector<char>& blank = frame_->blank_record;
    const int32_t n = table_->RecordLength();
    const size_t size = static_cast<size_t>(n > 1 ? n : 1);
    if (blank.size() != size) blank.assign(size, ' ');
    rec_ = blank.data();
  }
  const char** stack = frame_->stack.data();
  char* work = frame_->work.data();
  const char* constants = prog_->constants.data();
  int32_t sp = 0;

  for (const Instr& in : prog_->code) {
    const char** args = stack + sp - in.nargs;
    char* out = in.slot >= 0 ? work + in.slot : nullptr;
    const char* result = out;
    const size_t len = static_cast<size_t>(in.length);
    switch (in.code) {
      case Opcode::kFieldText: {
        const char* base = FieldBase(in);
        if (out == nullptr) {
          result = base;  // own data file: always present
        } else if (base == nullptr) {
          std::memset(out, ' ', len);
        } else {
          std::memcpy(out, base, len);
        }
        break;
      }
      case Opcode::kFieldNumber: {
        const char* base = FieldBase(in);
        PutNumber(out, base == nullptr
                           ? 0.0
                           : ParseDouble(base, static_cast<size_t>(in.p[1])));
        break;
      }
      case Opcode::kFieldDate: {
        const char* base = FieldBase(in);
        PutNumber(out, base == nullptr ? 0.0 : DateToDay(base));
        break;
      }
      case Opcode::kFieldLogical: {
        const char* base = FieldBase(in);
        PutLogical(out, base != nullptr && in.p[1] > 0 &&
                            std::strchr("YyTt", base[0]) != nullptr &&
                            base[0] != '\0');
        break;
      }
      case Opcode::kFieldMemo:
        std::memset(out, '\0', len);
        Memo(in, out);
        break;
      case Opcode::kConstant:
        result = constants + in.p[0];
        if (out != nullptr) {
          std::memcpy(out, result, len);
          result = out;
        }
        break;
      case Opcode::kConcat:
      case Opcode::kConcatMoveBlanks: {
        const char pad = in.code == Opcode::kConcat ? '\0' : ' ';
        size_t k = static_cast<size_t>(in.arg_length[0]);
        while (k > 0 && args[0][k - 1] == pad) k--;
        const size_t lb = static_cast<size_t>(in.arg_length[1]);
        if (k > 0) std::memcpy(out, args[0], k);
        if (lb > 0) std::memcpy(out + k, args[1], lb);
        std::memset(out + k + lb, pad,
                    static_cast<size_t>(in.arg_length[0]) - k);
        break;
      }
      case Opcode::kAddNumber:
        PutNumber(out, GetNumber(args[0]) + GetNumber(args[1]));
        break;
      case Opcode::kAddDateNumber:
      case Opcode::kSubDateNumber: {
        // A blank (or invalid) date stays as it is.
        const double d = GetNumber(args[0]);
        const double n = GetNumber(args[1]);
        PutNumber(
            out,
            d <= 0 ? d : (in.code == Opcode::kAddDateNumber ? d + n : d - n));
        break;
      }
      case Opcode::kAddNumberDate: {
        const double d = GetNumber(args[1]);
        PutNumber(out, d <= 0 ? d : GetNumber(args[0]) + d);
        break;
      }
      case Opcode::kSubNumber:
        PutNumber(out, GetNumber(args[0]) - GetNumber(args[1]));
        break;
      case Opcode::kSubDates: {
        const double a = GetNumber(args[0]);
        const double b = GetNumber(args[1]);
        PutNumber(out, a <= 0 || b <= 0 ? 0.0 : a - b);
        break;
      }
      case Opcode::kMultiply:
        PutNumber(out, GetNumber(args[0]) * GetNumber(args[1]));
        break;
      case Opcode::kDivide: {
        const double b = GetNumber(args[1]);
        PutNumber(out, b == 0 ? 0.0 : GetNumber(args[0]) / b);
        break;
      }
      case Opcode::kPower:
        PutNumber(out, std::pow(GetNumber(args[0]), GetNumber(args[1])));
        break;
      case Opcode::kCompareText:
        PutLogical(out,
                   CompareTexts(static_cast<Compare>(in.p[0]), args[0],
                                in.arg_length[0], args[1], in.arg_length[1]));
        break;
      case Opcode::kCompareNumber:
        PutLogical(out, CompareNumbers(static_cast<Compare>(in.p[0]),
                                       GetNumber(args[0]), GetNumber(args[1])));
        break;
      case Opcode::kCompareLogical: {
        const bool eq = GetLogical(args[0]) == GetLogical(args[1]);
        PutLogical(out,
                   static_cast<Compare>(in.p[0]) == Compare::kEqual ? eq : !eq);
        break;
      }
      case Opcode::kContains: {
        const std::string_view a(args[0],
                                 static_cast<size_t>(in.arg_length[0]));
        const std::string_view b(args[1],
                                 static_cast<size_t>(in.arg_length[1]));
        PutLogical(out, b.find(a) != std::string_view::npos);
        break;
      }
      case Opcode::kContainsNoCase:
        PutLogical(out, Bang(in, args[0], args[1]));
        break;
      case Opcode::kNot:
        PutLogical(out, !GetLogical(args[0]));
        break;
      case Opcode::kAnd:
      case Opcode::kOr: {
        const bool want = in.code == Opcode::kOr;
        bool r = !want;
        for (int32_t i = 0; i < in.nargs; i++) {
          if (GetLogical(args[i]) == want) r = want;
        }
        PutLogical(out, r);
        break;
      }
      case Opcode::kDel:
        out[0] = rec_[0];
        break;
      case Opcode::kDeleted:
        PutLogical(out, (rec_[0] & 0x2A) == 0x2A);
        break;
      case Opcode::kRecNo:
        PutNumber(out, table_->RecNo());
        break;
      case Opcode::kRecCount:
        PutNumber(out, table_->RecCount());
        break;
      case Opcode::kPageNo:
        PutNumber(out, 0.0);
        break;
      case Opcode::kStr:
        FormatNumber(GetNumber(args[0]), in.p[0], in.p[1], out);
        break;
      case Opcode::kSubstr:
        if (len > 0) std::memcpy(out, args[0] + in.p[0], len);
        break;
      case Opcode::kTime: {
        const platform::LocalTime t = platform::Env::Current()->Now();
        char buf[32];
        std::snprintf(buf, sizeof(buf), "%02d:%02d:%02d", t.hour % 100,
                      t.minute % 100, t.second % 100);
        std::memcpy(out, buf, 8);
        break;
      }
      case Opcode::kDate: {
        const platform::LocalTime t = platform::Env::Current()->Now();
        const int32_t day = DayFromYmd(t.year, t.month, t.day);
        PutNumber(out, day < 0 ? 0.0 : day);
        break;
      }
      case Opcode::kUpper:
        for (size_t i = 0; i < len; i++) {
          const char c = args[0][i];
          out[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        break;
      case Opcode::kDescend:
        for (size_t i = 0; i < len; i++) {
          out[i] = static_cast<char>(
              (256 - static_cast<unsigned char>(args[0][i])) & 0xFF);
        }
        break;
      case Opcode::kTrim: {
        if (len > 0) std::memcpy(out, args[0], len);
        size_t k = len;
        while (k > 0 && (out[k - 1] == ' ' || out[k - 1] == '\0')) {
          out[--k] = '\0';
        }
        break;
      }
      case Opcode::kLtrim: {
        size_t k = 0;
        while (k < len && (args[0][k] == ' ' || args[0][k] == '\0')) k++;
        if (len > k) std::memcpy(out, args[0] + k, len - k);
        std::memset(out + (len - k), '\0', k);
        break;
      }
      case Opcode::kDtos:
        DayToDate(ToDay(GetNumber(args[0])), out);
        break;
      case Opcode::kDtoc: {
        char date[8];
        DayToDate(ToDay(GetNumber(args[0])), date);
        FormatDatePicture(date, kDatePicture, out);
        break;
      }
      case Opcode::kIif:
        std::memcpy(out, GetLogical(args[0]) ? args[1] : args[2], len);
        break;
      case Opcode::kStod: {
        char date[8];
        std::memset(date, ' ', sizeof(date));
        const size_t la = static_cast<size_t>(in.arg_length[0]);
        std::memcpy(date, args[0], la < 8 ? la : 8);
        PutNumber(out, DateToDay(date));
        break;
      }
      case Opcode::kCtod: {
        char date[8];
        ParseDatePicture(args[0], static_cast<size_t>(in.arg_length[0]),
                         kDatePicture, date);
        PutNumber(out, DateToDay(date));
        break;
      }
      case Opcode::kDay:
      case Opcode::kMonth:
      case Opcode::kYear: {
        int y = 0, m = 0, d = 0;
        YmdFromDay(ToDay(GetNumber(args[0])), &y, &m, &d);
        PutNumber(out, in.code == Opcode::kDay
                           ? d
                           : (in.code == Opcode::kMonth ? m : y));
        break;
      }
      case Opcode::kVal:
        PutNumber(out,
                  ParseDouble(args[0], static_cast<size_t>(in.arg_length[0])));
        break;
      case Opcode::kCx:
        Cx(in, args[0], args[1], out);
        break;
    }
    sp -= in.nargs;
    stack[sp++] = result;
  }
  return stack[0];
}

}  // namespace

void PrepareFrame(const Program& program, EvalFrame* frame) {
  // Never empty, so that slot 0 of a zero-length result is a valid address.
  frame->work.assign(static_cast<size_t>(program.work_size) + 8, '\0');
  frame->stack.assign(static_cast<size_t>(program.max_stack) + 1, nullptr);
}

const char* RunProgram(const ExprTable* table, Program* program,
                       EvalFrame* frame) {
  Evaluator e(table, program, frame);
  return e.Run();
}

void UpperAnsi(char* p, size_t n) {
  const bool cp1252 = platform::AnsiCodePage() == 1252;
  for (size_t i = 0; i < n; i++) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    unsigned char u = c;
    if (c >= 'a' && c <= 'z') {
      u = static_cast<unsigned char>(c - 0x20);
    } else if (cp1252) {
      if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        u = static_cast<unsigned char>(c - 0x20);
      } else if (c == 0x9A || c == 0x9C || c == 0x9E) {
        u = static_cast<unsigned char>(c - 0x10);
      } else if (c == 0xFF) {
        u = 0x9F;
      }
    }
    p[i] = static_cast<char>(u);
  }
}

}  // namespace xbase32
