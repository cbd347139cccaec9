// Parses arbitrary text as an expression against a small table and, when it
// parses, evaluates it on every record. The registry holds one text, one
// expression and one CX routine, so that tokens and CX calls with small
// handles reach real objects.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "expr/expr.h"
#include "expr/expr_registry.h"
#include "expr/fake_expr_table.h"

namespace {

using xbase32::CxBlock;
using xbase32::Expr;
using xbase32::ExprError;
using xbase32::FakeExprTable;

void FillHigh(CxBlock* block, int32_t len, uint32_t) {
  std::memset(block->buffer, 0xFF, static_cast<size_t>(len));
}

struct World {
  FakeExprTable table{{{"NAME", 'C', 10, 0},
                       {"PRICE", 'N', 8, 2},
                       {"QTY", 'N', 4, 0},
                       {"BDATE", 'D', 8, 0},
                       {"FLAG", 'L', 1, 0},
                       {"NOTES", 'M', 10, 0}}};
  FakeExprTable other{{{"ID", 'N', 3, 0}, {"T", 'C', 4, 0}}};

  World() {
    table.Append({"blue", "  -12.50", "  7", "20090307", "T"}, ' ', "memo");
    table.Append({"", "", "", "        ", "F"}, '*');
    table.Append({"\x82xy", "99999.99", "-999", "20001399", "?"}, '+');
    other.Append({"  1", "ONE"});
    table.SetAlias("OTHER", &other);
    xbase32::RegisterText("ab", nullptr);                    // handle 1
    xbase32::RegisterText("FLAG .AND. QTY>0", nullptr);      // handle 2
    xbase32::RegisterCxRoutine(FillHigh, nullptr, nullptr);  // handle 3
    xbase32::RegisterText("'!@4@!'!' '", nullptr);           // 4: itself
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  ExprError err;
  std::unique_ptr<Expr> e = Expr::Parse(&world->table, text.c_str(), &err);
  if (e == nullptr) {
    if (err.code == 0 || err.details[0].size() > xbase32::kExprMaxDetail) {
      __builtin_trap();
    }
    return 0;
  }
  for (int32_t r = 0; r <= 4; r++) {
    world->table.Go(r);
    const char* p = e->Evaluate();
    // Touch every result byte so that the sanitizers see any overrun.
    unsigned sum = 0;
    for (int32_t i = 0; i < e->length(); i++) {
      sum += static_cast<unsigned char>(p[i]);
    }
    if (e->length() < 0 || (e->type() == 'L' && e->length() != 4)) {
      __builtin_trap();
    }
    (void)sum;
  }
  world->table.Go(1);
  return 0;
}
