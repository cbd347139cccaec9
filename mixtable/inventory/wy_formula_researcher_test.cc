// The formula researcher over an inventory filled through the storage
// manager: the recycle list, an absolute id, several rules, the trace
// file's place and bad input.

#include "mixtable/wy_formula_researcher.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "access/scoped_env_var.h"
#include "inventory/research_test_data.h"
#include "mixtable/wy_util.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using namespace research_testing;

constexpr const char kInventory[] = "c:\\inv\\";

std::string ReadAll(const std::string& path) {
  std::string host;
  if (!platform::Env::Current()->HostPath(path, &host).ok()) return "";
  std::ifstream in(host, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
  return platform::Env::Current()->FileExists(path);
}

class ResearcherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drives_ = new platform::ScopedTempDrives;
    no_local_ = new mixtable::ScopedEnvVar("LOCALDIR");
    no_trace_ = new mixtable::ScopedEnvVar("KALVO_RESEARCH_TRACE");
    no_logdir_ = new mixtable::ScopedEnvVar("KALVO_LOGDIR");
    std::string error;
    built_ = BuildResearchData(&error);
    if (!built_) {
      ADD_FAILURE() << error;
      return;
    }
    // Stored formulas: name -> (data id, base, text, litres).
    CWy_StorageManager manager(kInventory);
    struct Stored {
      const char* name;
      uint32_t dataId;
      int32_t base;
      const char* text;
      double litres;
    };
    const Stored stored[] = {
        {"A", kDataId, 1, "1,5,2,10", 1},
        {"B", kDataId, 1, "1,5,3,1", 1},
        {"C", kDataId, 1, "1,4,2,8", 2},
        {"D", kDataId, 2, "1,5,2,10", 1},
        {"E", kOtherDataId, 1, "1,5,2,10", 1},
        {"F", kDataId, 1, "1,10,2,20", 1},
    };
    for (const Stored& s : stored) {
      CWy_FormulaInv inv = MakeStored(MakeFormula(s.dataId, s.base, s.text),
                                      MakeBatch(s.name, s.litres));
      if (manager.InsertFormula(inv, true) <= 0) {
        ADD_FAILURE() << "cannot store " << s.name;
        built_ = false;
        return;
      }
      CWy_Batch b;
      inv.GetBatch(b, 0);
      (*ids_)[s.name] = b.GetBatchAbsID();
    }
  }
  static void TearDownTestSuite() {
    delete no_logdir_;
    delete no_trace_;
    delete no_local_;
    delete drives_;
  }
  void SetUp() override { ASSERT_TRUE(built_); }

  // The names of the results, in order.
  static std::string Names(const CWy_FormulaResearcher& r) {
    std::string names;
    CWy_RecycleBatch b;
    for (int32_t i = 0; r.GetRecycleBatch(b, i); ++i) names += b.GetLocationX();
    return names;
  }

  static inline platform::ScopedTempDrives* drives_ = nullptr;
  static inline mixtable::ScopedEnvVar* no_local_ = nullptr;
  static inline mixtable::ScopedEnvVar* no_trace_ = nullptr;
  static inline mixtable::ScopedEnvVar* no_logdir_ = nullptr;
  static inline bool built_ = false;
  static inline std::map<std::string, int32_t>* ids_ =
      new std::map<std::string, int32_t>;
};

TEST_F(ResearcherTest, RecycleList) {
  CWy_FormulaResearcher r(kInventory);
  r.SetTraceFile("c:\\list.txt");
  CWy_QuantitySumConfrontation rule;
  EXPECT_TRUE(r.InsertRule(&rule));
  EXPECT_FALSE(r.InsertRule(nullptr));
  EXPECT_TRUE(r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20")));
  EXPECT_EQ(r.GetNumberOfCans(), 1);
  ASSERT_EQ(r.ApplyRules(0), 3);
  EXPECT_EQ(r.GetNumberOfRecyclableBatches(), 3);
  EXPECT_EQ(Names(r), "ACF");
  struct Want {
    const char* name;
    double formula, base, batch, perCan;
  };
  for (const Want& w :
       {Want{"A", 0.5, 1, 1, 1000}, Want{"C", 0.8, 1, 0.5, 1000},
        Want{"F", 1, 1, 1, 1000}}) {
    SCOPED_TRACE(w.name);
    CWy_RecycleBatch b;
    ASSERT_TRUE(r.GetRecycleBatchByAbsID(b, (*ids_)[w.name]));
    EXPECT_DOUBLE_EQ(b.GetRecycleFormulaPercentage(), w.formula);
    EXPECT_DOUBLE_EQ(b.GetRecycleBasePercentage(), w.base);
    EXPECT_DOUBLE_EQ(b.GetRecycleBatchPercentage(), w.batch);
    EXPECT_DOUBLE_EQ(b.GetQuantityPerCan(), w.perCan);
    EXPECT_EQ(b.GetQuantityPerLastCan(), 0);
    EXPECT_FALSE(b.IsSelectedForRecycle());
  }
  const std::string log = ReadAll("c:\\list.txt");
  EXPECT_NE(log.find("colorante 3, che non \xe8 presente"), std::string::npos);

  // The list can be edited.
  CWy_RecycleBatch b;
  EXPECT_FALSE(r.GetRecycleBatchByAbsID(b, 0));
  EXPECT_FALSE(r.GetRecycleBatchByAbsID(b, (*ids_)["B"]));
  ASSERT_TRUE(r.GetRecycleBatch(b, 0));
  b.SetSelectedForRecycle(true);
  EXPECT_TRUE(r.SetRecycleBatchByAbsID(b, (*ids_)["A"]));
  EXPECT_FALSE(r.SetRecycleBatchByAbsID(b, -1));
  ASSERT_TRUE(r.GetRecycleBatch(b, 0));
  EXPECT_TRUE(b.IsSelectedForRecycle());
  EXPECT_FALSE(r.GetRecycleBatch(b, 3));
  EXPECT_FALSE(r.GetRecycleBatch(b, -1));
  EXPECT_TRUE(r.DeleteRecycleBatch(1));
  EXPECT_FALSE(r.DeleteRecycleBatch(2));
  EXPECT_EQ(Names(r), "AF");
  r.DeleteRecycleBatches();
  EXPECT_EQ(r.GetNumberOfRecyclableBatches(), 0);

  // A copy researches the same inventory on its own.
  CWy_FormulaResearcher copy(r);
  EXPECT_EQ(copy.ApplyRules(0), 3);
}

TEST_F(ResearcherTest, TwoCansAndTheRelatedFormula) {
  CWy_FormulaResearcher r(kInventory);
  r.SetTraceFile("");
  CWy_QuantitySumConfrontation rule;
  r.InsertRule(&rule);
  r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  r.SetNumberOfCans(2);
  ASSERT_EQ(r.ApplyRules((*ids_)["A"]), 1);
  CWy_RecycleBatch b;
  ASSERT_TRUE(r.GetRecycleBatch(b, 0));
  EXPECT_DOUBLE_EQ(b.GetRecycleFormulaPercentage(), 0.25);
  EXPECT_DOUBLE_EQ(b.GetQuantityPerCan(), 500);
  CWy_FormulaInv related;
  b.GetRelatedFormula(related);
  EXPECT_EQ(related.GetFormula().m_Frm, "1,2.5,2,5");
  EXPECT_EQ(related.GetNumberOfBatches(), 1);
  EXPECT_GT(related.GetFrmInvID(), 0);

  // An absolute id: at most one result; a rejected or unknown id: none.
  EXPECT_EQ(r.ApplyRules((*ids_)["B"]), 0);
  EXPECT_EQ(r.ApplyRules(99999), 0);
  EXPECT_EQ(r.ApplyRules((*ids_)["C"]), 1);
  EXPECT_FALSE(r.GetRecycleBatchByAbsID(b, (*ids_)["A"]));
}

TEST_F(ResearcherTest, RulesInOrderAndBadInput) {
  CWy_FormulaResearcher r(kInventory);
  r.SetTraceFile("");
  r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  EXPECT_EQ(r.ApplyRules(0), 0);  // no rule
  CWy_ColorantConfrontation never;
  CWy_QuantitySumConfrontation sum;
  r.InsertRule(&sum);
  r.InsertRule(&never);
  EXPECT_EQ(r.ApplyRules(0), 0);  // the last rule's results
  CWy_FormulaResearcher r2(kInventory);
  r2.SetTraceFile("");
  r2.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  r2.InsertRule(&never);
  r2.InsertRule(&sum);
  EXPECT_EQ(r2.ApplyRules(0), 3);

  r2.SetNumberOfCans(0);
  EXPECT_EQ(r2.ApplyRules(0), 0);
  EXPECT_EQ(r2.GetNumberOfRecyclableBatches(), 0);
  r2.SetNumberOfCans(1);
  Wy_Formula bad = MakeFormula(kDataId, 1, "1,10,2,20");
  bad.m_DataId = 0;  // no data set
  r2.SetFormulaTarget(bad);
  EXPECT_EQ(r2.ApplyRules(0), 0);
  bad = MakeFormula(kDataId, 1, "1,10,2,20");
  bad.m_DataId = 77;  // not catalogued
  r2.SetFormulaTarget(bad);
  EXPECT_EQ(r2.ApplyRules(0), 0);
  bad = MakeFormula(kDataId, 1, "1,10,2,20");
  bad.m_CanId = 0;
  bad.m_CanNomQ = 0;  // no can
  r2.SetFormulaTarget(bad);
  EXPECT_EQ(r2.ApplyRules(0), 0);
  Wy_Formula got;
  EXPECT_TRUE(r2.GetFormulaTarget(got));
  EXPECT_EQ(got.m_CanId, 0);
}

TEST_F(ResearcherTest, BaseOfComponents) {
  CWy_StorageManager m("c:\\inv3\\");
  CWy_FormulaInv inv =
      MakeStored(MakeFormula(kDataId, 3, "1,20,2,20"), MakeBatch("H", 1));
  ASSERT_GT(m.InsertFormula(inv, true), 0);
  CWy_FormulaResearcher r("c:\\inv3\\");
  r.SetTraceFile("c:\\halving.txt");
  CWy_QuantitySumConfrontation rule;
  r.InsertRule(&rule);
  r.SetFormulaTarget(MakeFormula(kDataId, 3, "1,10,2,20"));
  ASSERT_EQ(r.ApplyRules(0), 1) << ReadAll("c:\\halving.txt");
  CWy_RecycleBatch b;
  ASSERT_TRUE(r.GetRecycleBatch(b, 0));
  EXPECT_NEAR(b.GetRecycleFormulaPercentage(), 0.75, 1e-9);
  EXPECT_NEAR(b.GetRecycleBasePercentage(), 0.5, 1e-9);
  EXPECT_NEAR(b.GetRecycleBatchPercentage(), 0.5, 1e-9);
  EXPECT_NEAR(b.GetQuantityPerCan(), 500, 1e-6);
  const std::string log = ReadAll("c:\\halving.txt");
  EXPECT_NE(log.find("vale: 2.000000 \n"), std::string::npos);
  EXPECT_NE(log.find("Questa quantit\xe0 vale: 500.000000 \n"),
            std::string::npos);
}

TEST_F(ResearcherTest, WhereTheTraceLies) {
  CWy_FormulaResearcher r(kInventory);
  CWy_QuantitySumConfrontation rule;
  r.InsertRule(&rule);
  r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  std::string local;
  Wy_LocalPath(local);
  // Default: the local directory.
  EXPECT_EQ(r.GetTraceFile(), local + "research.log");
  ASSERT_EQ(r.ApplyRules(0), 3);
  EXPECT_NE(ReadAll(local + "research.log").find("ACCETTATA"),
            std::string::npos);
  {
    mixtable::ScopedEnvVar logdir("KALVO_LOGDIR", "c:\\logs");
    Wy_MkDir("c:\\logs\\");
    EXPECT_EQ(r.GetTraceFile(), "c:\\logs\\research.log");
    ASSERT_EQ(r.ApplyRules(0), 3);
    EXPECT_TRUE(Exists("c:\\logs\\research.log"));
    const std::string host = platform::Env::Current()->DrivesRoot() + "/h";
    platform::Env::Current()->CreateDir(host);
    mixtable::ScopedEnvVar hostdir("KALVO_LOGDIR", host);
    EXPECT_EQ(r.GetTraceFile(), host + "/research.log");
    {
      mixtable::ScopedEnvVar named("KALVO_RESEARCH_TRACE", "c:\\named.txt");
      EXPECT_EQ(r.GetTraceFile(), "c:\\named.txt");
      ASSERT_EQ(r.ApplyRules(0), 3);
      EXPECT_TRUE(Exists("c:\\named.txt"));
    }
    {
      mixtable::ScopedEnvVar off("KALVO_RESEARCH_TRACE", "");
      EXPECT_EQ(r.GetTraceFile(), "");
      platform::Env::Current()->DeleteFile(host + "/research.log");
      ASSERT_EQ(r.ApplyRules(0), 3);
      EXPECT_FALSE(Exists(host + "/research.log"));
    }
    // SetTraceFile overrides the environment; an unwritable file is
    // ignored.
    r.SetTraceFile("c:\\no\\such\\dir\\t.txt");
    EXPECT_EQ(r.GetTraceFile(), "c:\\no\\such\\dir\\t.txt");
    EXPECT_EQ(r.ApplyRules(0), 3);
  }
  // Each pass empties the trace first.
  r.SetTraceFile("c:\\again.txt");
  ASSERT_EQ(r.ApplyRules(0), 3);
  const size_t once = ReadAll("c:\\again.txt").size();
  ASSERT_EQ(r.ApplyRules(0), 3);
  EXPECT_EQ(ReadAll("c:\\again.txt").size(), once);
}

// Accepts every batch whole.
class AcceptAll : public CWy_RecycleRule {
 public:
  bool ApplyWork(double& f, double& b, double& p) override {
    f = b = p = 1;
    return true;
  }
};

TEST_F(ResearcherTest, WeightBatchesAndDeletedFormulas) {
  const char* dir = "c:\\inv4\\";
  CWy_StorageManager m(dir);
  const Wy_Formula f = MakeFormula(kDataId, 1, "1,5,2,10");
  CWy_FormulaInv kg = MakeStored(f, MakeBatch("K", 1.2, true, 1.2));
  ASSERT_GT(m.InsertFormula(kg, true), 0);
  CWy_FormulaResearcher r(dir);
  r.SetTraceFile("");
  AcceptAll all;
  r.InsertRule(&all);
  r.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  // The stored formula gives its batches their to-weight factor (its total
  // by weight over its total by volume); the batch comes in litres.
  ASSERT_TRUE(m.Begin());
  CWy_FormulaInv read;
  ASSERT_TRUE(m.GetCurrentFormula(read, true));
  CWy_Batch stored;
  ASSERT_TRUE(read.GetBatch(stored, 0));
  const double factor = stored.GetToWeightConversionFactor();
  ASSERT_GT(factor, 0.00001);
  ASSERT_EQ(r.ApplyRules(0), 1);
  CWy_RecycleBatch b;
  ASSERT_TRUE(r.GetRecycleBatch(b, 0));
  EXPECT_FALSE(b.GetWeightMode());
  EXPECT_DOUBLE_EQ(b.GetQuantity(), 1.2 / factor);
  EXPECT_DOUBLE_EQ(b.GetQuantityPerCan(), 1200 / factor);

  // The working rule: the same batch, and a second formula.
  CWy_FormulaInv second = MakeStored(f, MakeBatch("L", 1));
  ASSERT_GT(m.InsertFormula(second, true), 0);
  CWy_FormulaResearcher working(dir);
  working.SetTraceFile("");
  CWy_QuantitySumConfrontation rule;
  working.InsertRule(&rule);
  working.SetFormulaTarget(MakeFormula(kDataId, 1, "1,10,2,20"));
  EXPECT_EQ(working.ApplyRules(0), 2);

  // A formula marked deleted is not offered.
  ASSERT_TRUE(m.Begin());
  ASSERT_TRUE(m.DeleteCurrentFormula());
  // The mark reaches the file when the manager leaves the record.
  m.GoNext();
  ASSERT_EQ(working.ApplyRules(0), 1);
  ASSERT_TRUE(working.GetRecycleBatch(b, 0));
  EXPECT_EQ(b.GetBatchName(), "L");
}

}  // namespace
