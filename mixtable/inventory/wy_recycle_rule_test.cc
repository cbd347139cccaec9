// The recycling rules against a small data set: percentages, rejections and
// the trace bytes.

#include "mixtable/wy_recycle_rule.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "access/scoped_env_var.h"
#include "inventory/research_test_data.h"
#include "platform/env.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/temp_drives.h"

namespace {

using namespace research_testing;

std::string ReadAll(const std::string& path) {
  std::string host;
  if (!platform::Env::Current()->HostPath(path, &host).ok()) return "";
  std::ifstream in(host, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RecycleRuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives_ = new platform::ScopedTempDrives;
    no_local_ = new mixtable::ScopedEnvVar("LOCALDIR");
    std::string error;
    built_ = BuildResearchData(&error);
    if (!built_) ADD_FAILURE() << error;
  }
  static void TearDownTestSuite() {
    delete no_local_;
    delete drives_;
  }
  void SetUp() override { ASSERT_TRUE(built_); }

  // Runs the rule on one candidate against target (resized to cans cans
  // of 1000), tracing to "c:\rule.txt".
  bool Run(CWy_RecycleRule& rule, const Wy_Formula& target, int cans,
           const CWy_FormulaInv& candidate, double pct[3]) {
    Wy_Formula t = target;
    const double total = 1000.0 * cans;
    EXPECT_EQ(ResizeFormulaToCan(&t, nullptr, total, 0), 1);
    Wy_ResearchTrace trace;
    EXPECT_TRUE(trace.Open("c:\\rule.txt"));
    rule.SetTrace(&trace);
    rule.SetFormulaTarget(t);
    rule.SetTargetQuantity(total);
    rule.SetWeightFlag(false);
    rule.SetCandidate(candidate);
    rule.SetBatchPosition(0);
    const bool ok = rule.ApplyWork(pct[0], pct[1], pct[2]);
    trace.Close();
    rule.SetTrace(nullptr);
    log_ = ReadAll("c:\\rule.txt");
    return ok;
  }

  static inline platform::ScopedTempDrives* drives_ = nullptr;
  static inline mixtable::ScopedEnvVar* no_local_ = nullptr;
  static inline bool built_ = false;
  std::string log_;
};

struct Case {
  const char* name;
  uint32_t dataId;
  int32_t base;
  const char* text;
  double quantity;  // litres
  int cans;
  bool accepted;
  double formula = 0, base_pct = 0, batch = 0;
};

TEST_F(RecycleRuleTest, PercentagesOfTheWorkingRule) {
  const Case cases[] = {
      {"half the target", kDataId, 1, "1,5,2,10", 1, 1, true, 0.5, 1, 1},
      {"a colorant the target lacks", kDataId, 1, "1,5,3,1", 1, 1, false},
      {"a larger batch", kDataId, 1, "1,4,2,8", 2, 1, true, 0.8, 1, 0.5},
      {"another base", kDataId, 2, "1,5,2,10", 1, 1, false},
      {"another data set", kOtherDataId, 1, "1,5,2,10", 1, 1, false},
      {"the target itself", kDataId, 1, "1,10,2,20", 1, 1, true, 1, 1, 1},
      {"two cans", kDataId, 1, "1,5,2,10", 1, 2, true, 0.25, 1, 1},
      {"too much of a colorant", kDataId, 1, "1,10,2,20", 2, 1, false},
      {"quantity 0", kDataId, 1, "1,5,2,10", 0, 1, false},
      {"malformed text", kDataId, 1, "1,5,2", 1, 1, false},
      {"empty formula", kDataId, 1, "", 1, 1, false},
      {"only one of two colorants", kDataId, 1, "2,10", 1, 1, true, 0.25, 1, 1},
  };
  const Wy_Formula target = MakeFormula(kDataId, 1, "1,10,2,20");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWy_QuantitySumConfrontation rule;
    double pct[3] = {-1, -1, -1};
    const bool ok = Run(rule, target, c.cans,
                        MakeStored(MakeFormula(c.dataId, c.base, c.text),
                                   MakeBatch("B", c.quantity)),
                        pct);
    EXPECT_EQ(ok, c.accepted);
    if (!c.accepted) {
      EXPECT_EQ(pct[0], 0);
      EXPECT_EQ(pct[1], 0);
      EXPECT_EQ(pct[2], 0);
      continue;
    }
    EXPECT_DOUBLE_EQ(pct[0], c.formula);
    EXPECT_DOUBLE_EQ(pct[1], c.base_pct);
    EXPECT_DOUBLE_EQ(pct[2], c.batch);
  }
}

TEST_F(RecycleRuleTest, BatchMeasuredTheOtherWay) {
  const Wy_Formula target = MakeFormula(kDataId, 1, "1,10,2,20");
  const Wy_Formula cand = MakeFormula(kDataId, 1, "1,5,2,10");
  CWy_QuantitySumConfrontation rule;
  double pct[3];
  // 1.2 kg at 1.2 kg/L is the litre of the first case.
  EXPECT_TRUE(Run(rule, target, 1,
                  MakeStored(cand, MakeBatch("W", 1.2, true, 1.2)), pct));
  EXPECT_DOUBLE_EQ(pct[0], 0.5);
  EXPECT_DOUBLE_EQ(pct[2], 1);
  // No factor, or one too small to mean anything: rejected.
  for (double factor : {0.0, 0.000001, -1.0}) {
    EXPECT_FALSE(Run(rule, target, 1,
                     MakeStored(cand, MakeBatch("W", 1.2, true, factor)), pct));
    EXPECT_EQ(pct[0], 0);
  }
  // A batch position that does not exist.
  rule.SetBatchPosition(3);
  EXPECT_FALSE(rule.ApplyWork(pct[0], pct[1], pct[2]));
}

TEST_F(RecycleRuleTest, ConversionOfBatchQuantities) {
  double q = 1000;
  EXPECT_TRUE(Wy_RecycleConvertQuantity(q, false, false, 0));
  EXPECT_EQ(q, 1000);
  EXPECT_TRUE(Wy_RecycleConvertQuantity(q, false, true, 1.5));
  EXPECT_DOUBLE_EQ(q, 1500);
  EXPECT_TRUE(Wy_RecycleConvertQuantity(q, true, false, 1.5));
  EXPECT_DOUBLE_EQ(q, 1000);
  EXPECT_FALSE(Wy_RecycleConvertQuantity(q, false, true, 0.000009));
  EXPECT_FALSE(Wy_RecycleConvertQuantity(q, true, false, 0));
  EXPECT_FALSE(Wy_RecycleConvertQuantity(q, true, false, 0.0 / 0.0));
  EXPECT_DOUBLE_EQ(q, 1000);
}

TEST_F(RecycleRuleTest, BaseOfComponentsHalvesTheBatch) {
  const Wy_Formula target = MakeFormula(kDataId, 3, "1,10,2,20");
  CWy_QuantitySumConfrontation rule;
  double pct[3];
  ASSERT_TRUE(Run(
      rule, target, 1,
      MakeStored(MakeFormula(kDataId, 3, "1,20,2,20"), MakeBatch("B", 1)), pct))
      << log_;
  EXPECT_NEAR(pct[0], 0.75, 1e-9);
  EXPECT_NEAR(pct[1], 0.5, 1e-9);
  EXPECT_NEAR(pct[2], 0.5, 1e-9);
  EXPECT_NE(log_.find("Esiste almeno una percentuale superiore a 1, la pi\xf9 "
                      "alta vale: 2.000000 \n"
                      "Occorre una minore quantit\xe0 di batch per poter "
                      "usare questa formula\n"
                      "Questa quantit\xe0 vale: 500.000000 \n"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("\nSi RIPETE il calcolo delle percentuali tenendo conto "
                      "della nuova quantit\xe0 di batch considerata\n"),
            std::string::npos);
  // The base components are in the table, flagged, at half the target.
  int components = 0;
  for (size_t i = 0; i < rule.GetTable().size(); ++i) {
    const Wy_ConfrontationItem& item = rule.GetTable()[i];
    if (!item.IsBaseComponent) continue;
    ++components;
    EXPECT_TRUE(item.InTarget && item.InCandidate);
    EXPECT_NEAR(rule.GetRatios()[i], 0.5, 1e-6);
  }
  EXPECT_EQ(components, 2);

  // A base that is not dispensable counts as fully covered.
  Wy_Formula fixed = target;
  fixed.m_BaseDispensable = 0;
  ASSERT_TRUE(
      Run(rule, fixed, 1,
          MakeStored(MakeFormula(kDataId, 3, "1,20,2,20"), MakeBatch("B", 1)),
          pct));
  EXPECT_EQ(pct[1], 1);
}

TEST_F(RecycleRuleTest, TraceBytes) {
  const Wy_Formula target = MakeFormula(kDataId, 1, "1,10,2,20");
  CWy_QuantitySumConfrontation rule;
  double pct[3];
  ASSERT_TRUE(Run(
      rule, target, 1,
      MakeStored(MakeFormula(kDataId, 1, "1,5,2,10"), MakeBatch("B", 1)), pct));
  const std::string sep = "+" + std::string(88, '-') + "+\n";
  const std::string heading =
      sep +
      "| ID colorante | Quantit\xe0   | Quantit\xe0  | Rapporto | Componente  "
      "| Colorante | Colorante |\n"
      "| o componente | per Target | Candidata | quantit\xe0 | per base    "
      "| Target    | Candidata |\n" +
      sep;
  const std::string expected_start =
      "\nIntroduzione dei dati per la formula Target: K1 K2 K3 note, con "
      "Nom_Q: 1000.000000\n"
      "e dei dati per la formula candidata: K1 K2 K3 note,  con Nom_Q: "
      "1000.000000\n" +
      heading;
  EXPECT_EQ(log_.substr(0, expected_start.size()), expected_start);
  EXPECT_NE(log_.find("|            1 |      10.00 |      5.00 |     0.50 |"
                      "           0 |         1 |         1 |\n"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("|           11 |       0.00 |      0.00 |     0.00 |"
                      "           1 |         0 |         0 |\n"),
            std::string::npos);
  const std::string tail =
      "\nPercentuale di recupero coloranti: 0.500000 \n"
      "Percentuale di recupero base: 1.000000 \n"
      "Percentuale della quantit\xe0 di batch che si utilizza: 1.000000 \n"
      "La formula candidata \xe8 stata ACCETTATA\n"
      "\n" +
      std::string(78, '=') + "\n";
  ASSERT_GE(log_.size(), tail.size());
  EXPECT_EQ(log_.substr(log_.size() - tail.size()), tail);
  EXPECT_NE(log_.find("\nControllo se la formula candidata ha dei coloranti "
                      "che non sono presenti nella formula target...\n "
                      "Tutti i coloranti della formula candidata sono "
                      "presenti nella formula target, la formula \xe8 "
                      "UTILIZZABILE\n"
                      "\nCalcolo delle percentuali del rapporto delle "
                      "quantit\xe0 dei coloranti e dei componenti...\n"),
            std::string::npos);

  // A rejected candidate names the colorant (also one CNTS does not list).
  for (const char* text : {"1,5,3,1", "1,5,99,1"}) {
    ASSERT_FALSE(
        Run(rule, target, 1,
            MakeStored(MakeFormula(kDataId, 1, text), MakeBatch("B", 1)), pct));
    const std::string id = text[4] == '3' ? "3" : "99";
    EXPECT_NE(log_.find("La formula da confrontare ha il colorante " + id +
                        ", che non \xe8 presente nella target, di "
                        "conseguenza \xe8 SCARTATA\n"),
              std::string::npos)
        << log_;
    EXPECT_EQ(log_.find("ACCETTATA"), std::string::npos);
  }
  EXPECT_EQ(rule.GetTable().back().ID, 99);
  EXPECT_FALSE(rule.GetTable().back().IsBaseComponent);
}

TEST_F(RecycleRuleTest, NoTraceAndTheColorantRule) {
  const Wy_Formula target = MakeFormula(kDataId, 1, "1,10,2,20");
  CWy_FormulaInv cand =
      MakeStored(MakeFormula(kDataId, 1, "1,5,2,10"), MakeBatch("B", 1));
  CWy_QuantitySumConfrontation rule;
  Wy_Formula t = target;
  ResizeFormulaToCan(&t, nullptr, 1000, 0);
  rule.SetFormulaTarget(t);
  rule.SetCandidate(cand);
  double pct[3];
  EXPECT_TRUE(rule.ApplyWork(pct[0], pct[1], pct[2]));  // no trace at all
  CWy_QuantitySumConfrontation copy(rule);
  EXPECT_TRUE(copy.ApplyWork(pct[0], pct[1], pct[2]));

  CWy_ColorantConfrontation never;
  never.SetFormulaTarget(t);
  never.SetCandidate(cand);
  EXPECT_FALSE(never.ApplyWork(pct[0], pct[1], pct[2]));
  EXPECT_EQ(never.ApplyColorQuantityConfrontation(), 0);

  // A trace that cannot be opened stays closed and costs nothing.
  Wy_ResearchTrace trace;
  EXPECT_FALSE(trace.Open("c:\\no\\such\\dir\\x.txt"));
  EXPECT_FALSE(trace.IsOpen());
  trace.Printf("%d", 1);
}

TEST_F(RecycleRuleTest, TraceWriterBufferAndFullDisk) {
  // Long texts are kept whole; the file holds exactly what was written.
  Wy_ResearchTrace trace;
  ASSERT_TRUE(trace.Open("c:\\long.txt"));
  const std::string long_text(3000, 'x');
  trace.Printf("<%s>", long_text.c_str());
  trace.Value("v:", 0.5);
  for (int i = 0; i < 20000; ++i) trace.Write("0123456789");  // > buffer
  trace.Close();
  const std::string got = ReadAll("c:\\long.txt");
  EXPECT_EQ(got.size(), 3002u + 13u + 200000u);
  EXPECT_EQ(got.substr(0, 3002), "<" + long_text + ">");
  EXPECT_EQ(got.substr(3002, 13), "v: 0.500000 \n");

  // A full disk closes the trace; the rule goes on untraced.
  platform::FaultInjectionEnv env(platform::Env::Current());
  platform::ScopedEnv use(&env);
  env.FailPath("full.txt", platform::FaultInjectionEnv::kWrite, ENOSPC);
  ASSERT_TRUE(trace.Open("c:\\full.txt"));
  for (int i = 0; i < 10000 && trace.IsOpen(); ++i) trace.Write("0123456789");
  EXPECT_FALSE(trace.IsOpen());
  CWy_QuantitySumConfrontation rule;
  Wy_Formula t = MakeFormula(kDataId, 1, "1,10,2,20");
  ResizeFormulaToCan(&t, nullptr, 1000, 0);
  rule.SetFormulaTarget(t);
  rule.SetCandidate(
      MakeStored(MakeFormula(kDataId, 1, "1,5,2,10"), MakeBatch("B", 1)));
  rule.SetTrace(&trace);
  double pct[3];
  EXPECT_TRUE(rule.ApplyWork(pct[0], pct[1], pct[2]));
  EXPECT_DOUBLE_EQ(pct[0], 0.5);
}

}  // namespace
