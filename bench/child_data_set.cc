// Generating the child builder's benchmark data set (see child_data_set.h).

#include "child_data_set.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/ytable.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

namespace child_bench {
namespace {

using mixtable_testing::DataSetBuilder;
using mixtable_testing::Id;

// Deterministic numbers (the same data set on every run).
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : s_(seed) {}
  uint32_t Next() {
    s_ = s_ * 1664525u + 1013904223u;
    return s_ >> 8;
  }

 private:
  uint32_t s_;
};

// Writes one record's fields into the current (appended) record.
using RowWriter = std::function<bool(Wdbase& t, int32_t i)>;

// Appends n records to table at prd/spd (created when missing) through a
// handle of its own: one lock for the whole pass, no automatic flushing.
bool Fill(DataSetBuilder& b, int table, int32_t prd, int32_t spd, int32_t n,
          const RowWriter& write, std::string* error) {
  const std::string dir = b.Dir(prd, spd);
  const YTABLE* row = WyGetFileInfo(table);
  if (dir.empty() || row == nullptr) {
    *error = "no directory for table " + std::to_string(table) + " at " +
             std::to_string(prd) + "/" + std::to_string(spd);
    return false;
  }
  Wdbase t;
  t.SetFiles(&row->def);
  t.SetPath(dir.c_str());
  if (!t.Access(0) && !b.Create(table, prd, spd)) {
    *error = b.error();
    return false;
  }
  if (!t.Open()) {
    *error = std::string("cannot open ") + row->def.name + " in " + dir;
    return false;
  }
  const int prev = Wdbase::FlushSet(0);
  t.Lock();
  bool ok = true;
  for (int32_t i = 0; ok && i < n; ++i) ok = t.AppendBlank() && write(t, i);
  ok = t.Flush() && ok;
  t.Unlock();
  Wdbase::FlushSet(prev);
  ok = t.Close() && ok;
  if (!ok) *error = std::string("cannot fill ") + row->def.name + " in " + dir;
  return ok;
}

// Ids above 99 999 (the walking table) wrap round to 1..99 999.
int32_t FiveDigits(int32_t id) { return (id - 1) % 99999 + 1; }

// "id,qty,..." with 3 to 5 distinct colorants of 1..colorants.
std::string FormulaText(Lcg& rng, int32_t colorants) {
  const int pairs = 3 + static_cast<int>(rng.Next() % 3);
  int32_t used[5] = {};
  std::string text;
  for (int k = 0; k < pairs; ++k) {
    int32_t id = 0;
    for (bool fresh = false; !fresh;) {
      id = 1 + static_cast<int32_t>(rng.Next() % colorants);
      fresh = true;
      for (int j = 0; j < k; ++j) fresh = fresh && used[j] != id;
    }
    used[k] = id;
    // Quantities are sometimes whole numbers that equal a colorant id.
    char pair[48];
    if (rng.Next() % 4 == 0) {
      std::snprintf(pair, sizeof pair, "%s%ld,%ld", k ? "," : "", long(id),
                    long(1 + rng.Next() % colorants));
    } else {
      std::snprintf(pair, sizeof pair, "%s%ld,%.3f", k ? "," : "", long(id),
                    0.001 * (1 + rng.Next() % 90000));
    }
    text += pair;
  }
  return text;
}

// n formulas with ids first.. at prd/spd, with FRM_REFL records when refl.
bool FillFormulas(DataSetBuilder& b, const Shape& shape, int32_t prd,
                  int32_t spd, int32_t n, int32_t first, bool refl,
                  std::string* error) {
  if (n <= 0) return true;
  Lcg rng(static_cast<uint32_t>(first * 7919 + prd * 31 + spd));
  const std::string level = std::to_string(prd) + "/" + std::to_string(spd);
  auto formula = [&](Wdbase& t, int32_t i) {
    const int32_t id = first + i;
    const std::string key = "F" + std::to_string(id);
    return t.WriteString("ID", Id(FiveDigits(id)).c_str()) &&
           t.WriteString("KEY1", key.c_str()) &&
           t.WriteString("KEY2", level.c_str()) &&
           t.WriteString("COMMENT", "bench") &&
           t.WriteString("BASE_ID",
                         Id(1 + static_cast<int32_t>(rng.Next() % shape.bases))
                             .c_str()) &&
           t.WriteString(
               "CAN_ID",
               Id(1 + static_cast<int32_t>(rng.Next() % shape.cans)).c_str()) &&
           t.WriteDouble("NOM_Q0", 1.0) &&
           t.WriteString("FORMULA", FormulaText(rng, shape.colorants).c_str());
  };
  if (!Fill(b, Y_FRM, prd, spd, n, formula, error)) return false;
  if (!refl) return true;
  auto reflectance = [&](Wdbase& t, int32_t i) {
    return t.WriteString("FRM_ID", Id(FiveDigits(first + i)).c_str()) &&
           t.WriteDouble("R_400", 0.25) && t.WriteDouble("R_700", 0.75);
  };
  return Fill(b, Y_FRM_REFL, prd, spd, n, reflectance, error);
}

// Masks and rulers of a sub-product: bases, colorants and cans.
bool FillSubProduct(DataSetBuilder& b, const Shape& shape, int32_t prd,
                    int32_t spd, std::string* error) {
  auto mask = [](Wdbase& t, int32_t i) {
    const char* type = i % 3 == 0 ? "BA" : i % 3 == 1 ? "CO" : "CA";
    return t.WriteString("TYPE", type) &&
           t.WriteString("PNT_ID", Id(1 + i / 3).c_str());
  };
  auto ruler = [](Wdbase& t, int32_t i) {
    return t.WriteString("ID", Id(i + 1).c_str()) &&
           t.WriteString("RTYPE", i % 2 ? "CO" : "BA") &&
           t.WriteString("PTR_ID", Id(1 + i / 2).c_str()) &&
           t.WriteDouble("RULE", 1.0);
  };
  return Fill(b, Y_MASK, prd, spd, 3 * shape.colorants, mask, error) &&
         Fill(b, Y_RULER, prd, spd, 2 * shape.colorants, ruler, error);
}

bool FillRoot(DataSetBuilder& b, const Shape& shape, std::string* error) {
  const int32_t nc = shape.colorants;
  auto cnts = [](Wdbase& t, int32_t i) {
    const int32_t id = i + 1;
    return t.WriteString("ID", Id(id).c_str()) &&
           t.WriteString("CODE", ("C" + std::to_string(id)).c_str()) &&
           t.WriteString("DESCR", ("Colorant " + std::to_string(id)).c_str()) &&
           t.WriteString("FTYPE", id % 10 == 0 ? "B" : "C") &&
           t.WriteDouble("SPEC_W", 1.1 + 0.01 * id) &&
           t.WriteDouble("COST", 0.5 * id);
  };
  auto bases = [](Wdbase& t, int32_t i) {
    const int32_t id = i + 1;
    return t.WriteString("ID", Id(id).c_str()) &&
           t.WriteString("CODE", ("B" + std::to_string(id)).c_str()) &&
           t.WriteString("DESCR", ("Base " + std::to_string(id)).c_str()) &&
           t.WriteDouble("SPEC_W", 1.3);
  };
  auto basesfrm = [nc](Wdbase& t, int32_t i) {
    const int32_t id = i + 1;
    // Base formulas made of the base components (ids multiple of 10).
    const std::string f = std::to_string(10 * (1 + id % (nc / 10 + 1))) +
                          ",12.5," + std::to_string(10 * (1 + (id + 1) % 3)) +
                          ",3";
    return t.WriteString("ID", Id(id).c_str()) &&
           t.WriteString("DESCR",
                         ("Base formula " + std::to_string(id)).c_str()) &&
           t.WriteString("FORMULA", f.c_str());
  };
  auto cans = [](Wdbase& t, int32_t i) {
    const int32_t id = i + 1;
    return t.WriteString("ID", Id(id).c_str()) &&
           t.WriteString("CODE", ("K" + std::to_string(id)).c_str()) &&
           t.WriteString("DESCR", ("Can " + std::to_string(id)).c_str()) &&
           t.WriteDouble("NOM_Q", 0.5 * id);
  };
  // K/S and blends: a generic record of every colorant and one per product.
  const int32_t levels = shape.products + 1;
  auto keyed = [nc](int table) {
    return [nc, table](Wdbase& t, int32_t i) {
      const int32_t id = 1 + i % nc, prd = i / nc;
      bool ok = t.WriteString("ID", Id(id).c_str()) &&
                t.WriteString("PROD_KEY", Id(prd).c_str()) &&
                t.WriteString("SUBP_KEY", Id(0).c_str());
      if (table == Y_CNT_KS) ok = ok && t.WriteDouble("KS_400", 0.01 * id);
      if (table == Y_CNT_BLND)
        ok = ok && t.WriteString("PTR_ID", Id(1 + id % nc).c_str());
      return ok;
    };
  };
  return Fill(b, Y_CNTS, 0, 0, nc, cnts, error) &&
         Fill(b, Y_BASES, 0, 0, shape.bases, bases, error) &&
         Fill(b, Y_BASESFRM, 0, 0, shape.bases, basesfrm, error) &&
         Fill(b, Y_CANS, 0, 0, shape.cans, cans, error) &&
         Fill(b, Y_CNT_KS, 0, 0, nc * levels, keyed(Y_CNT_KS), error) &&
         Fill(b, Y_CNT_BLND, 0, 0, nc * levels, keyed(Y_CNT_BLND), error) &&
         Fill(b, Y_BAS_KS, 0, 0, shape.bases * levels, keyed(Y_BAS_KS), error);
}

}  // namespace

int32_t WalkProduct(const Shape& shape) {
  return shape.walk_records > 0 ? shape.products + 1 : 0;
}

bool Build(const std::string& data_dir, const Shape& shape,
           std::string* error) {
  DataSetBuilder b(data_dir);
  if (shape.colorants < 10 || shape.bases < 1 || shape.cans < 1 ||
      shape.products < 1 || shape.subproducts < 0 || shape.formulas < 0) {
    *error = "unusable shape";
    return false;
  }
  bool ok = b.Append(Y_PARAM, {{"KEY", "DATAID"}, {"VALUE", "0000000042"}});
  // Every root table exists, as in a data set made by the installer.
  for (int t = 0; ok && t < Y_N_MAX; ++t) {
    if ((WyGetFileInfo(t)->level_mask & Y_LEVEL_BASE) && t != Y_PARAM)
      ok = b.Create(t);
  }
  if (!ok) {
    *error = b.error();
    return false;
  }
  for (int32_t p = 1; p <= shape.products; ++p) {
    ok = b.AddProduct(p, "P" + std::to_string(p),
                      "Product " + std::to_string(p));
    for (int32_t s = 1; ok && s <= shape.subproducts; ++s)
      ok = b.AddSubProduct(p, s, "S" + std::to_string(s),
                           "Sub-product " + std::to_string(s));
    if (!ok) {
      *error = b.error();
      return false;
    }
  }
  const int32_t walk = WalkProduct(shape);
  if (walk > 0 && !b.AddProduct(walk, "WALK", "Walking product")) {
    *error = b.error();
    return false;
  }
  if (!FillRoot(b, shape, error)) return false;

  // A tenth at the root, two tenths over the products, the rest over the
  // sub-products (all at the product level without sub-products).
  const int32_t root = shape.formulas / 10;
  const int32_t subs = shape.products * shape.subproducts;
  const int32_t per_prd = subs > 0 ? shape.formulas / 5 / shape.products
                                   : (shape.formulas - root) / shape.products;
  const int32_t per_sub =
      subs > 0 ? (shape.formulas - root - per_prd * shape.products) / subs : 0;
  int32_t next = 1;
  if (!FillFormulas(b, shape, 0, 0, root, next, true, error)) return false;
  next += root;
  for (int32_t p = 1; p <= shape.products; ++p) {
    if (!FillFormulas(b, shape, p, 0, per_prd, next, true, error)) return false;
    next += per_prd;
    for (int32_t s = 1; s <= shape.subproducts; ++s) {
      // The last sub-product takes what the division left.
      int32_t n = per_sub;
      if (p == shape.products && s == shape.subproducts)
        n = shape.formulas - (next - 1);
      if (!FillFormulas(b, shape, p, s, n, next, true, error) ||
          !FillSubProduct(b, shape, p, s, error))
        return false;
      next += n;
    }
  }
  return walk == 0 ||
         FillFormulas(b, shape, walk, 0, shape.walk_records, 1, false, error);
}

int32_t SizeFromEnv(const char* name, int32_t fallback) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  char* end = nullptr;
  const long n = std::strtol(v, &end, 10);
  return end != v && *end == '\0' && n > 0 && n <= 10000000
             ? static_cast<int32_t>(n)
             : fallback;
}

}  // namespace child_bench
