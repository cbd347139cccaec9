// Writes the demo data set (see demo_data_set.h).

#include "demo_data_set.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "demo_catalog.h"
#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/hooks.h"
#include "testing/data_set_builder.h"
#include "xbase32/wdbase.h"

#ifndef KALVO_VERSION
#define KALVO_VERSION "0"
#endif

namespace kalvo_demo {
namespace {

using mixtable_testing::DataSetBuilder;
using mixtable_testing::Id;

// The engine's clock held at the demo date (12:00:00), so table headers
// carry the same date on every build.
class FixedClockEnv : public platform::EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;
  platform::LocalTime Now() override {
    platform::LocalTime t;
    t.year = kDemoYear;
    t.month = kDemoMonth;
    t.day = kDemoDay;
    t.hour = 12;
    return t;
  }
};

struct FixedClock {
  FixedClockEnv env{platform::Env::Current()};
  platform::Env* old = platform::Env::SetCurrent(&env);
  ~FixedClock() { platform::Env::SetCurrent(old); }
};

// One field value: text for C, L and D fields, a number for N fields.
struct Value {
  const char* field;
  std::string text;
  double number = 0;
  bool is_number = false;
};
using Record = std::vector<Value>;

Value C(const char* field, std::string text) {
  return {field, std::move(text)};
}
Value N(const char* field, double number) { return {field, "", number, true}; }
Value L(const char* field, bool on) { return {field, on ? "T" : "F"}; }

class Writer {
 public:
  explicit Writer(const std::string& dir) : builder_(dir) {}
  DataSetBuilder& builder() { return builder_; }
  const std::string& error() const { return error_; }

  // Creates table at the root, in product prd's or in its sub-product
  // spd's directory and appends records, all under one table lock (one
  // write of the records and of every index at the end).
  bool Fill(int table, const std::vector<Record>& records, int32_t prd = 0,
            int32_t spd = 0) {
    const YTABLE* row = WyGetFileInfo(table);
    if (!builder_.Create(table, prd, spd)) return Fail(builder_.error());
    const std::string dir = builder_.Dir(prd, spd);
    if (dir.empty()) return Fail(builder_.error());
    struct NoAutoFlush {
      int old = Wdbase::FlushSet(0);
      ~NoAutoFlush() { Wdbase::FlushSet(old); }
    } no_auto_flush;
    Wdbase db;
    db.SetFiles(&row->def);
    db.SetPath(dir.c_str());
    const std::string name = dir + row->def.name;
    if (!db.Open()) return Fail("cannot open " + name + ": " + Why(db));
    if (!db.Lock()) return Fail("cannot lock " + name + ": " + Why(db));
    for (const Record& rec : records) {
      if (!db.AppendBlank()) return Fail("cannot append to " + name);
      for (const Value& v : rec) {
        const int ok = v.is_number ? db.WriteDouble(v.field, v.number)
                                   : db.WriteString(v.field, v.text.c_str());
        if (!ok)
          return Fail("cannot write " + name + "." + v.field + ": " + Why(db));
      }
    }
    if (!db.Unlock()) return Fail("cannot write " + name + ": " + Why(db));
    db.Close();
    return true;
  }
  bool MakeDir(int32_t prd, int32_t spd) {
    const std::string dir = builder_.Dir(prd, spd);
    if (dir.empty() || !Wy_MkDir(dir))
      return Fail("cannot create the directory of " + std::to_string(prd) +
                  "/" + std::to_string(spd));
    return true;
  }
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }

 private:
  static std::string Why(Wdbase&) { return Wdbase::LastErrorText(); }

  DataSetBuilder builder_;
  std::string error_;
};

Record KsRecord(int32_t id, const Curve& ks) {
  static const char* const kFields[kBands] = {
      "KS_400", "KS_420", "KS_440", "KS_460", "KS_480", "KS_500",
      "KS_520", "KS_540", "KS_560", "KS_580", "KS_600", "KS_620",
      "KS_640", "KS_660", "KS_680", "KS_700"};
  Record r{C("ID", Id(id))};
  for (int b = 0; b < kBands; ++b) r.push_back(N(kFields[b], ks[b]));
  r.push_back(C("PROD_KEY", Id(0)));
  r.push_back(C("SUBP_KEY", Id(0)));
  return r;
}

Record ReflRecord(int32_t frm_id, const Curve& refl) {
  static const char* const kFields[kBands] = {
      "R_400", "R_420", "R_440", "R_460", "R_480", "R_500", "R_520", "R_540",
      "R_560", "R_580", "R_600", "R_620", "R_640", "R_660", "R_680", "R_700"};
  Record r{C("FRM_ID", Id(frm_id))};
  for (int b = 0; b < kBands; ++b) r.push_back(N(kFields[b], refl[b]));
  return r;
}

// "12,10.5,7,3": colorant id and quantity pairs.
std::string FormulaText(const Formula& f) {
  std::string text;
  for (const auto& [id, q] : f.amounts) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%d,%.2f", text.empty() ? "" : ",",
                  static_cast<int>(id), q);
    std::string pair = buf;
    while (pair.back() == '0') pair.pop_back();  // "10.50" -> "10.5"
    if (pair.back() == '.') pair.pop_back();
    text += pair;
  }
  return text;
}

bool RootTables(Writer& w) {
  std::vector<Record> products, colorants, ks, bases, cans, params;
  for (const Product& p : Products())
    products.push_back({C("ID", Id(p.id)), C("CODE", p.code),
                        C("DESCR", p.descr), C("PATH", p.path), N("UNIT", 1.0),
                        N("FRACTION", 1.0), N("FRACTION2", 1.0),
                        L("WEIGHTMODE", p.weight_mode),
                        C("UNIT_NAME", p.unit_name)});
  for (const Colorant& c : Colorants()) {
    colorants.push_back({C("ID", Id(c.id)), C("CODE", c.code),
                         C("DESCR", c.descr), N("SPEC_W", c.spec_w),
                         N("LOADING", c.loading), N("COST", c.cost),
                         C("PROD_KEY", Id(0)), C("SUBP_KEY", Id(0))});
    ks.push_back(KsRecord(c.id, ColorantKs(c)));
  }
  for (const Product& p : Products())
    for (const Base& b : BasesOf(p))
      bases.push_back({C("ID", Id(b.id)), C("CODE", b.code),
                       C("DESCR", b.descr), N("SPEC_W", b.spec_w),
                       N("FILL_Q", b.fill_q),
                       N("FILL_W", b.fill_q * b.spec_w / 1000.0),
                       N("COST", 4.0 + b.id * 0.25), C("PROD_KEY", Id(0)),
                       C("SUBP_KEY", Id(0))});
  for (const Can& c : Cans())
    cans.push_back({C("ID", Id(c.id)), C("CODE", c.code), C("DESCR", c.descr),
                    N("NOM_Q", c.nom_q), L("CAN_WEIGHT", false),
                    N("ZERO_FLAG", 0)});
  char text[64];
  std::snprintf(text, sizeof text,
                "make_demo_gdata #%s [%04d-%02d-%02d] "
                "(12:00:00)",
                KALVO_VERSION, kDemoYear, kDemoMonth, kDemoDay);
  const std::string signature = text;
  std::snprintf(text, sizeof text, "%010lu",
                static_cast<unsigned long>(kDemoDataId));
  params.push_back(
      {C("KEY", "DATAID"), C("VALUE", text), C("COMMENT", signature)});
  std::snprintf(text, sizeof text, "%010lu",
                static_cast<unsigned long>(kDemoAbsId));
  params.push_back(
      {C("KEY", "ABS_DATAID"), C("VALUE", text), C("COMMENT", signature)});
  params.push_back(
      {C("KEY", "CODEPAGE"), C("VALUE", "850"), C("COMMENT", signature)});
  return w.Fill(Y_PRODUCTS, products) && w.Fill(Y_CNTS, colorants) &&
         w.Fill(Y_CNT_KS, ks) && w.Fill(Y_BASES, bases) &&
         w.Fill(Y_CANS, cans) && w.Fill(Y_PARAM, params);
}

bool SubProductTables(Writer& w, const Product& p, const SubProduct& s) {
  std::vector<Record> frm, refl, mask, ruler;
  for (const Formula& f : FormulasOf(p, s)) {
    frm.push_back({C("ID", Id(f.id)), C("KEY1", f.colour->key1),
                   C("KEY2", f.colour->key2), C("KEY3", f.colour->key3),
                   C("COMMENT", std::string(p.code) + " " + s.code),
                   C("BASE_ID", Id(f.base_id)), C("CAN_ID", Id(2)),
                   L("CAN_WEIGHT", false), N("NOM_Q0", 1000),
                   C("FORMULA", FormulaText(f)), N("X_02", f.x), N("Y_02", f.y),
                   N("Z_02", f.z), N("X_10", f.x), N("Y_10", f.y),
                   N("Z_10", f.z)});
    refl.push_back(ReflRecord(f.id, f.reflectance));
  }
  for (const Base& b : BasesOf(p))
    mask.push_back({C("TYPE", "BA"), C("PNT_ID", Id(b.id))});
  for (int32_t id : AllowedColorants(p))
    mask.push_back({C("TYPE", "CO"), C("PNT_ID", Id(id))});
  for (int32_t id : AllowedCans(p))
    mask.push_back({C("TYPE", "CA"), C("PNT_ID", Id(id))});
  // Rulers: every base at 1, and two colorants corrected a little (the
  // sub-product's own tinting strength).
  int32_t rid = 0;
  for (const Base& b : BasesOf(p))
    ruler.push_back({C("ID", Id(++rid)), C("RTYPE", "BA"),
                     C("PTR_ID", Id(b.id)), N("RULE", 1.0)});
  const int32_t corrected[] = {7, 10};
  for (int32_t id : corrected)
    ruler.push_back({C("ID", Id(++rid)), C("RTYPE", "CO"), C("PTR_ID", Id(id)),
                     N("RULE", s.id == 1 ? 0.98 : 1.02)});
  return w.Fill(Y_FRM, frm, p.id, s.id) &&
         w.Fill(Y_FRM_REFL, refl, p.id, s.id) &&
         w.Fill(Y_MASK, mask, p.id, s.id) && w.Fill(Y_RULER, ruler, p.id, s.id);
}

// FVERS.DAT: "%-5.2f " version, "%-26.26s" description, trailing blanks
// removed, no line end.
bool WriteVersionFile(Writer& w, const std::string& dir) {
  char line[64];
  std::snprintf(line, sizeof line, "%-5.2f %-26.26s",
                std::strtod(kDemoVersion, nullptr), kDemoDescr);
  std::string text = line;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  std::unique_ptr<platform::File> f;
  platform::Status st = platform::Env::Current()->OpenFile(
      dir + "FVERS.DAT", platform::OpenMode::kCreateAlways, &f);
  if (st.ok()) st = f->WriteAt(0, text.data(), text.size());
  if (!st.ok()) return w.Fail(st.ToString());
  return true;
}

}  // namespace

bool BuildDemoDataSet(const std::string& dir, std::string* error) {
  FixedClock clock;
  Writer w(dir);
  const int steps = kDemoProducts * kDemoSubProductsPerProduct + 2;
  int step = 0;
  const void* window = platform::kProgressWindow;
  auto report = [&](const char* what) {
    platform::Progress(window, platform::kProgressOverall,
                       platform::ProgressPercent(step, steps), what);
  };
  report("Writing the demo data set");
  bool ok = RootTables(w);
  ++step;
  report("Root tables");
  for (const Product& p : Products()) {
    if (!ok) break;
    std::vector<Record> subs;
    for (const SubProduct& s : p.sub)
      subs.push_back({C("ID", Id(s.id)), C("CODE", s.code), C("DESCR", s.descr),
                      C("PATH", s.path)});
    ok = w.MakeDir(p.id, 0) && w.Fill(Y_SUBPRODS, subs, p.id);
    for (const SubProduct& s : p.sub) {
      ok = ok && w.MakeDir(p.id, s.id) && SubProductTables(w, p, s);
      ++step;
      report(s.path);
    }
  }
  // The colour-key tables, from the formulas just written.
  if (ok) {
    CMixtableEx tables;
    tables.SetDataDir(w.builder().data_dir().c_str());
    if (tables.Mixtable().CreateColorKeyDb() != 1)
      ok = w.Fail("cannot build COLORKEY and CLRPRDS");
  }
  ok = ok && WriteVersionFile(w, w.builder().data_dir());
  ++step;
  report("Colour keys and version");
  platform::Progress(window, platform::kProgressText, platform::kProgressReset,
                     nullptr);
  if (!ok && error) *error = w.error();
  return ok;
}

}  // namespace kalvo_demo
