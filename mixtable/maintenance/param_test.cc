// PARAM accessors and the signature against the sample data set.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "access/table_set_fixture.h"
#include "maintenance/convert.h"
#include "platform/codepage.h"
#include "testing/table_rows.h"

namespace {

class ParamTest : public SampleDataSetTest {
 protected:
  void AppendRaw(const char* key, const char* value) {
    Wdbase t;
    ASSERT_TRUE(t.SetFiles("c:\\gdata\\", "param", 0, nullptr, nullptr));
    ASSERT_TRUE(t.Open());
    ASSERT_TRUE(t.AppendBlank());
    ASSERT_TRUE(t.WriteString("KEY", key));
    ASSERT_TRUE(t.WriteString("VALUE", value));
    t.Close();
  }
  int LiveRecordsWithKey(const char* key) {
    convert_testing::TableRows rows =
        convert_testing::ReadTable("c:\\gdata\\param.dbf");
    int n = 0;
    std::string k = key;
    k.resize(16, ' ');
    for (const auto& r : rows.rows)
      if (!r.deleted && r.values[0] == k) ++n;
    return n;
  }
};

TEST_F(ParamTest, RoundTripsAndMissingKeys) {
  EXPECT_EQ(ts_.GetParamGdataId(false), 42u);
  EXPECT_EQ(ts_.GetParamGdataId(true), 0u);
  EXPECT_EQ(ts_.GetParamHTMLPath(), "");
  EXPECT_EQ(ts_.GetParamCodePage(), 0u);
  EXPECT_FALSE(ts_.GetParamFrmHistoryEnabled());
  // Ids above 2 147 483 647 (the "3MMAAAAAmm" form) read whole.
  ASSERT_TRUE(ts_.SetParamGdataId("3120000001", "abs", true));
  EXPECT_EQ(ts_.GetParamGdataId(true), 3120000001u);
  EXPECT_EQ(ts_.GetParamGdataId(false), 42u);
  ASSERT_TRUE(ts_.SetParamGdataId("4294967296", "", true));
  EXPECT_EQ(ts_.GetParamGdataId(true), 0u);  // beyond 32 bits
  ASSERT_TRUE(ts_.SetParamGdataId("12abc", "", true));
  EXPECT_EQ(ts_.GetParamGdataId(true), 0u);
  ASSERT_TRUE(ts_.SetParamHTMLPath("c:\\html\\", "h"));
  EXPECT_EQ(ts_.GetParamHTMLPath(), "c:\\html\\");
  ASSERT_TRUE(ts_.SetParamCodePage(850, nullptr));
  EXPECT_EQ(ts_.GetParamCodePage(), 850u);
  EXPECT_EQ(CMixtableEx::GetSystemCodePage(),
            static_cast<uint32_t>(platform::OemCodePage()));
  ASSERT_TRUE(ts_.SetParamFrmHistoryEnabled(true, "x"));
  EXPECT_TRUE(ts_.GetParamFrmHistoryEnabled());
  ASSERT_TRUE(ts_.SetParamFrmHistoryEnabled(false, "x"));
  EXPECT_FALSE(ts_.GetParamFrmHistoryEnabled());
  EXPECT_EQ(LiveRecordsWithKey("FRM_HISTORY"), 1);  // updated in place
  std::string value = "stale", comment = "stale";
  EXPECT_FALSE(ts_.GetParamLastCheck(value, comment));
  EXPECT_EQ(value, "");
  EXPECT_EQ(comment, "");
  ASSERT_TRUE(ts_.SetParamLastCheck("v", "Other #2 [2020-01-01] (00:00:00)"));
  EXPECT_TRUE(ts_.GetParamLastCheck(value, comment));
  EXPECT_EQ(value, "v");
  EXPECT_EQ(comment, "Other #2 [2020-01-01] (00:00:00)");
}

TEST_F(ParamTest, ALongerKeyIsNotTheKey) {
  AppendRaw("CODEPAGE2", "437");
  AppendRaw("HTMLPATHS", "c:\\x\\");
  EXPECT_EQ(ts_.GetParamCodePage(), 0u);
  EXPECT_EQ(ts_.GetParamHTMLPath(), "");
  ASSERT_TRUE(ts_.SetParamCodePage(850, ""));
  EXPECT_EQ(ts_.GetParamCodePage(), 850u);
  EXPECT_EQ(LiveRecordsWithKey("CODEPAGE2"), 1);
  EXPECT_EQ(LiveRecordsWithKey("CODEPAGE"), 1);
}

TEST_F(ParamTest, TheTableStateIsRestored) {
  EXPECT_EQ(ts_.GetParamGdataId(false), 42u);
  EXPECT_FALSE(ts_.Handle(Y_PARAM)->IsOpen(0));  // closed again
  Wdbase* db = ts_.Handle(Y_PARAM);
  ASSERT_TRUE(ts_.SetParamCodePage(850, ""));
  ASSERT_TRUE(ts_.Open(db));
  ASSERT_TRUE(db->SelectIdx(0));
  ASSERT_TRUE(db->Goto(2));
  EXPECT_EQ(ts_.GetParamCodePage(), 850u);
  ASSERT_TRUE(ts_.SetParamHTMLPath("c:\\h\\", ""));
  EXPECT_TRUE(db->IsOpen(0));
  EXPECT_EQ(db->SelectedIdx(), 0);
  EXPECT_EQ(db->RecNo(), 2);
}

TEST_F(ParamTest, SettersRefuseLongValuesAndCutComments) {
  EXPECT_FALSE(ts_.SetParamHTMLPath(std::string(129, 'x').c_str(), ""));
  EXPECT_EQ(LiveRecordsWithKey("HTMLPATH"), 0);
  EXPECT_FALSE(ts_.SetParamHTMLPath(nullptr, ""));
  ASSERT_TRUE(ts_.SetParamHTMLPath(std::string(128, 'x').c_str(),
                                   std::string(100, 'c').c_str()));
  std::string v, c;
  ASSERT_TRUE(ts_.SetParamLastCheck("", std::string(90, 'c').c_str()));
  ASSERT_TRUE(ts_.GetParamLastCheck(v, c));
  EXPECT_EQ(c, std::string(80, 'c'));
  EXPECT_EQ(ts_.GetParamHTMLPath(), std::string(128, 'x'));
}

TEST_F(ParamTest, AnAppendedRecordIsDeletedWhenALaterWriteFails) {
  // An old PARAM without COMMENT: the COMMENT write fails.
  ts_.CloseAll();
  ASSERT_TRUE(convert_testing::MakeTable(
      "c:\\gdata\\param.dbf", {{"KEY", 'C', 16, 0}, {"VALUE", 'C', 128, 0}},
      {{"DATAID", "0000000042"}}, {}, {{"param", "KEY"}}));
  EXPECT_FALSE(ts_.SetParamCodePage(850, "c"));
  EXPECT_EQ(LiveRecordsWithKey("CODEPAGE"), 0);
  EXPECT_EQ(ts_.GetParamCodePage(), 0u);
  EXPECT_EQ(ts_.GetParamGdataId(false), 42u);
}

TEST_F(ParamTest, WithoutParamEverythingAnswersEmpty) {
  ts_.SetDataDir("c:\\nodata\\");
  EXPECT_EQ(ts_.GetParamGdataId(false), 0u);
  EXPECT_EQ(ts_.GetParamHTMLPath(), "");
  EXPECT_FALSE(ts_.SetParamCodePage(1, ""));
  std::string last, current;
  EXPECT_TRUE(ts_.NeedsAdvancedCheck(last, current));
  EXPECT_EQ(last, "");
  EXPECT_FALSE(current.empty());
}

TEST(SignatureTest, OursHasTheFormatAndParses) {
  const std::string sig = CMixtableEx::GetSignature();
  EXPECT_TRUE(std::regex_match(
      sig, std::regex(R"(Kalvo MIXTABLE #[0-9.]+ \[\d{4}-\d\d-\d\d\] )"
                      R"(\(\d\d:\d\d:\d\d\))")))
      << sig;
  std::string s, name, version, date, time;
  ASSERT_TRUE(CMixtableEx::GetSignatureData(s, name, version, date, time));
  EXPECT_EQ(name, "Kalvo MIXTABLE");
  EXPECT_FALSE(version.empty());
  EXPECT_EQ(date.size(), 10u);
  EXPECT_EQ(time.size(), 8u);
  EXPECT_FALSE(s.empty());  // an empty signature is replaced by ours
}

TEST(SignatureTest, EveryFailureRule) {
  struct {
    const char* sig;
    bool ok;
    const char* name;
    const char* version;
  } cases[] = {
      {"Other #2.1 [2020-01-02] (03:04:05)", true, "Other", "2.1"},
      {"  A b  #  v 1  [ 2020-01-02 ] ( 03:04:05 )", true, "A b", "v 1"},
      {"A [2020-01-02] #1 (03:04:05)", false, "", ""},   // [ before #
      {"A 1 [2020-01-02] (03:04:05)", false, "", ""},    // no #
      {"A #1 2020-01-02] (03:04:05)", false, "", ""},    // no [
      {"A #1 [2020-01-02 (03:04:05)", false, "", ""},    // no ]
      {"A #1 [2020-01-02] 03:04:05)", false, "", ""},    // no (
      {"A #1 [2020-01-02] (03:04:05", false, "", ""},    // no )
      {"A #1 ]2020-01-02[ (03:04:05)", false, "", ""},   // ] before [
      {"A #1 [2020-01-02] )03:04:05(", false, "", ""},   // ) before (
      {"A #1 (03:04:05) [2020-01-02]", false, "", ""},   // ( before [
      {"#1 [2020-01-02] (03:04:05)", false, "", ""},     // # first
      {"   #1 [2020-01-02] (03:04:05)", false, "", ""},  // no name
      {"A # [2020-01-02] (03:04:05)", false, "", ""},    // no version
      {"A #[2020-01-02] (03:04:05)", false, "", ""},
      {"A #1 [2020-1-02] (03:04:05)", false, "", ""},  // date of 9
      {"A #1 [2020-01-02] (3:04:05)", false, "", ""},  // time of 7
  };
  for (const auto& c : cases) {
    std::string s = c.sig, name = "x", version = "x", date, time;
    EXPECT_EQ(CMixtableEx::GetSignatureData(s, name, version, date, time), c.ok)
        << c.sig;
    EXPECT_EQ(name, c.name) << c.sig;
    EXPECT_EQ(version, c.version) << c.sig;
  }
}

TEST_F(ParamTest, NeedsAdvancedCheckWithoutAfterOursAndAfterAnother) {
  std::string last = "x", current;
  EXPECT_TRUE(ts_.NeedsAdvancedCheck(last, current));
  EXPECT_EQ(last, "");
  EXPECT_EQ(current.rfind("Kalvo MIXTABLE #", 0), 0u);
  // Ours, written at another time and in another case: no check due.
  std::string sig = CMixtableEx::GetSignature(), n, v, d, t;
  ASSERT_TRUE(CMixtableEx::GetSignatureData(sig, n, v, d, t));
  const std::string older = "kalvo mixtable #" + v + " [1999-01-01] (00:00:00)";
  ASSERT_TRUE(ts_.SetParamLastCheck("", older.c_str()));
  last.clear();
  current.clear();
  EXPECT_FALSE(ts_.NeedsAdvancedCheck(last, current));
  EXPECT_EQ(last, "");
  // Another product, or another version.
  for (const char* other :
       {"Other #1.0 [2020-01-01] (00:00:00)",
        "Kalvo MIXTABLE #0.0.1 [2020-01-01] (00:00:00)", "garbage"}) {
    ASSERT_TRUE(ts_.SetParamLastCheck("", other));
    EXPECT_TRUE(ts_.NeedsAdvancedCheck(last, current));
    EXPECT_EQ(last, other);
    EXPECT_EQ(current.rfind("Kalvo MIXTABLE #", 0), 0u);
  }
}

}  // namespace
