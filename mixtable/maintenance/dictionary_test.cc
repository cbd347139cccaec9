// The dictionary reader and the dictionary shipped with the library.

#include "maintenance/dictionary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

using mixtable::FreeDictionaryItem;
using mixtable::ParseDictionaryItem;

struct Item {
  YTABLE_DICTIONARY d{};
  ~Item() { FreeDictionaryItem(&d); }
  bool Parse(const std::vector<std::string>& lines, const char* table) {
    FreeDictionaryItem(&d);
    return ParseDictionaryItem(lines, table, &d);
  }
  int Count() const {
    int n = 0;
    while (d.fields[n].name[0]) ++n;
    return n;
  }
  const char* Format(int k) const {
    return d.attributes + kDictHeaderSize + kDictFieldSize * k +
           kDictFormatOffset;
  }
};

std::vector<std::string> Section(const std::vector<std::string>& body) {
  std::vector<std::string> lines = {"# test dictionary", "", "[DBF"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back("]");
  return lines;
}

TEST(DictionaryTest, ReadsNamesTypesWidthsAndFlags) {
  Item item;
  ASSERT_TRUE(
      item.Parse(Section({"  dbf_t_kind=tg  ", "DBF_T_FNAME=Id;Qty;Ok;Born;Txt",
                          "DBF_T_FTYPE=C;N;L;D;M", "DBF_T_FLEN=5;10.3;4;3;99",
                          "DBF_T_FKIND=rt;;H;G;TGHR"}),
                 "t.dbf"));
  ASSERT_EQ(item.Count(), 5);
  EXPECT_STREQ(item.d.fields[0].name, "Id");  // case as written
  EXPECT_EQ(item.d.fields[0].type, 'C');
  EXPECT_EQ(item.d.fields[1].len, 10);
  EXPECT_EQ(item.d.fields[1].dec, 3);
  EXPECT_EQ(item.d.fields[2].len, 1);  // L, D and M take their own widths
  EXPECT_EQ(item.d.fields[3].len, 8);
  EXPECT_EQ(item.d.fields[4].len, 10);
  EXPECT_EQ(item.d.fields[5].name[0], '\0');  // terminator
  EXPECT_EQ(item.d.fields[5].len, 0);
  const char* a = item.d.attributes;
  EXPECT_EQ(std::vector<int>(a, a + 5), (std::vector<int>{1, 1, 0, 0, 0}));
  const char* f0 = a + kDictHeaderSize;
  EXPECT_EQ(std::vector<int>(f0, f0 + 4), (std::vector<int>{1, 0, 0, 1}));
  const char* f4 = a + kDictHeaderSize + 4 * kDictFieldSize;
  EXPECT_EQ(std::vector<int>(f4, f4 + 4), (std::vector<int>{1, 1, 1, 1}));
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(item.d.matchedFields[k].name[0], '\0');
    EXPECT_EQ(item.d.matchedFields[k].len, 0);
  }
  for (int k = 0; k < 10; ++k) EXPECT_EQ(item.d.offsets[k], 0);
}

TEST(DictionaryTest, PrintFormats) {
  struct Case {
    const char* type;
    const char* len;
    const char* format;
  } cases[] = {
      {"N", "10.3", "%10.3lf"}, {"N", "4.2", "%4.2f"}, {"N", "4", "%4d"},
      {"N", "6", "%6ld"},       {"N", "7.2", "%7.2f"}, {"N", "8.2", "%8.2lf"},
      {"N", "5.0", "%5ld"},     {"C", "1", "%1c"},     {"C", "20", "%20s"},
      {"C", "5.2", "%5s"},      {"L", "1", "%1d"},     {"D", "8", "%8s"},
      {"M", "10", "%10s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.len);
    Item item;
    ASSERT_TRUE(item.Parse(
        Section({"DBF_X_KIND=T", "DBF_X_FNAME=F",
                 std::string("DBF_X_FTYPE=") + c.type,
                 std::string("DBF_X_FLEN=") + c.len, "DBF_X_FKIND=R"}),
        "X"));
    EXPECT_STREQ(item.Format(0), c.format);
  }
}

TEST(DictionaryTest, CountsAndMalformedDefinitions) {
  const std::vector<std::string> good = {"DBF_X_KIND=T", "DBF_X_FNAME=A;B;",
                                         "DBF_X_FTYPE=C;N", "DBF_X_FLEN=2;3",
                                         "DBF_X_FKIND=;R"};
  Item item;
  ASSERT_TRUE(item.Parse(Section(good), "X"));  // a trailing ";" adds nothing
  EXPECT_EQ(item.Count(), 2);

  struct Case {
    const char* what;
    size_t line;
    const char* replacement;
  } cases[] = {
      {"two kinds", 0, "DBF_X_KIND=T;G"},
      {"empty kind", 0, "DBF_X_KIND="},
      {"names in lower-case key", 1, "dbf_x_fname=A;B"},
      {"one type short", 2, "DBF_X_FTYPE=C"},
      {"one width too many", 3, "DBF_X_FLEN=2;3;4"},
      {"last flag item empty", 4, "DBF_X_FKIND=R;"},
      {"zero width", 3, "DBF_X_FLEN=0;3"},
      {"empty name", 1, "DBF_X_FNAME=;B"},
      {"missing widths", 3, "# no widths"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> body = good;
    body[c.line] = c.replacement;
    Item bad;
    EXPECT_FALSE(bad.Parse(Section(body), "X"));
    EXPECT_EQ(bad.d.attributes, nullptr);
    EXPECT_EQ(bad.d.fields, nullptr);
  }
  // Another table, no section, a second section.
  EXPECT_FALSE(item.Parse(Section(good), "Y"));
  EXPECT_FALSE(item.Parse(good, "X"));
  std::vector<std::string> two = {"[DBF", "]", "[DBF"};
  two.insert(two.end(), good.begin(), good.end());
  EXPECT_FALSE(item.Parse(two, "X"));
  // Names longer than ten characters are cut.
  std::vector<std::string> longname = good;
  longname[1] = "DBF_X_FNAME=ABCDEFGHIJKLM;B";
  ASSERT_TRUE(item.Parse(Section(longname), "X"));
  EXPECT_STREQ(item.d.fields[0].name, "ABCDEFGHIJ");
}

TEST(DictionaryTest, FilesWithCrlfLineEndsAndMissingFiles) {
  platform::ScopedTempDrives drives;
  std::string text =
      "[DBF\r\nDBF_X_KIND=T\r\nDBF_X_FNAME=A\r\nDBF_X_FTYPE=C\r\n"
      "DBF_X_FLEN=7\r\nDBF_X_FKIND=R\r\n]\r\n";
  std::unique_ptr<platform::File> f;
  ASSERT_TRUE(platform::Env::Current()
                  ->OpenFile("c:\\x.dct", platform::OpenMode::kCreateAlways, &f)
                  .ok());
  ASSERT_TRUE(f->WriteAt(0, text.data(), text.size()).ok());
  f.reset();
  YTABLE_DICTIONARY d{};
  ASSERT_TRUE(mixtable::LoadDictionaryItem("c:\\x.dct", "X", &d));
  EXPECT_EQ(d.fields[0].len, 7);
  FreeDictionaryItem(&d);
  EXPECT_EQ(d.fields, nullptr);
  EXPECT_FALSE(mixtable::LoadDictionaryItem("c:\\missing.dct", "X", &d));
  EXPECT_EQ(d.fields, nullptr);
}

// The identifiers of a key expression ("PROD_ID+SUBP_ID", "LABEL*1000+TYPE").
std::vector<std::string> Identifiers(const std::string& expr) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : expr + "+") {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      cur += c;
    } else {
      if (!cur.empty() && !std::isdigit(static_cast<unsigned char>(cur[0])))
        out.push_back(cur);
      cur.clear();
    }
  }
  return out;
}

TEST(ShippedDictionaryTest, DefinesEveryTableWithItsKeyFields) {
  CMixtableEx ts;
  for (int t = 0; t < Y_N_MAX; ++t) {
    const YTABLE* row = WyGetFileInfo(t);
    SCOPED_TRACE(row->def.name);
    ASSERT_TRUE(ts.CreateDictionaryItem(t)) << CMixtableEx::DictionaryPath();
    for (int k = 0; k < row->def.idx_count; ++k)
      for (const std::string& id : Identifiers(row->def.idx_exprs[k]))
        EXPECT_NE(ts.GetDictionaryItemField(t, id.c_str()), nullptr) << id;
    for (int n = 1; ts.GetDictionaryItemField(t, n); ++n) {
      const WDBASE_FIELD* f = ts.GetDictionaryItemField(t, n);
      EXPECT_LE(std::strlen(f->name), 10u);
      EXPECT_NE(std::string("CNLDM").find(f->type), std::string::npos);
      // Ids are right-aligned five-character texts.
      std::string name = f->name;
      if (name == "ID" || name == "PROD_KEY" || name == "SUBP_KEY" ||
          (name.size() > 3 && name.compare(name.size() - 3, 3, "_ID") == 0)) {
        EXPECT_EQ(f->type, 'C') << name;
        EXPECT_EQ(f->len, name == "DATAID" ? 10 : 5) << name;
      }
    }
  }
}

TEST(ShippedDictionaryTest, FieldsTheLibraryReadsAreDefined) {
  struct Need {
    int table;
    std::vector<const char*> fields;
  } needs[] = {
      {Y_PRODUCTS,
       {"ID", "CODE", "DESCR", "PATH", "UNIT", "FRACTION", "FRACTION2",
        "WEIGHTMODE", "UNIT_NAME"}},
      {Y_SUBPRODS, {"ID", "CODE", "DESCR", "PATH"}},
      {Y_CNTS,
       {"ID", "CODE", "DESCR", "FTYPE", "SPEC_W", "LOADING", "COST", "PROD_KEY",
        "SUBP_KEY"}},
      {Y_BASES,
       {"ID", "CODE", "DESCR", "SPEC_W", "FILL_Q", "FILL_W", "COST", "PROD_KEY",
        "SUBP_KEY"}},
      {Y_CANS,
       {"ID", "DESCR", "NOM_Q", "CAN_WEIGHT", "H_MIN", "H_MAX", "ZERO_FLAG",
        "FLAGS"}},
      {Y_FRM,
       {"ID", "KEY1", "KEY2", "KEY3", "COMMENT", "BASE_ID", "CAN_ID", "FORMULA",
        "NOM_Q0", "CAN_WEIGHT", "X_02", "Z_10"}},
      {Y_FRM_REFL, {"FRM_ID", "R_400", "R_700"}},
      {Y_CNT_BLND, {"ID", "PTR_ID", "PTR_CONCP", "PROD_KEY", "SUBP_KEY"}},
      {Y_BAS_BLND, {"ID", "PTR_ID", "PTR_CONCP", "PROD_KEY", "SUBP_KEY"}},
      {Y_MASK, {"TYPE", "PNT_ID"}},
      {Y_RULER, {"RTYPE", "PTR_ID", "RULE"}},
      {Y_PARAM, {"KEY", "VALUE", "COMMENT"}},
      {Y_BASESFRM, {"ID", "FORMULA", "WEIGHTMODE", "PROD_KEY", "SUBP_KEY"}},
      {Y_SINGLE_KS, {"SUBSTR_ID", "CM_TYPE", "PROD_KEY"}},
      {Y_SINGLE_BLND, {"SUBSTR_ID", "CM_TYPE", "PTR_ID"}},
      {Y_SUBSTRATE, {"BASE_ID", "CM_TYPE"}},
      {Y_TBLCODE,
       {"PROD_ID", "SUBP_ID", "BASE_ID", "CAN_ID", "FRM_ID", "BARCODE"}},
      {Y_APPROACH, {"DOMIN", "CONTR", "SDOM1", "SDOM2"}},
      {Y_ARCHIVE,
       {"ID",         "CUS_ID",     "DATAID",     "PROD_ID",    "SUBP_ID",
        "UNIT",       "FRACTION",   "WEIGHTMODE", "KEY1",       "KEY2",
        "KEY3",       "NCS",        "COMMENT",    "BASE_ID",    "FILL_QC",
        "FILL_WC",    "CAN_ID",     "CAN_WEIGHT", "NOM_Q0",     "FORMULA",
        "PART",       "UNDCOAT_ID", "SPROC_ID",   "SUBSTR_ID",  "FRM_REFL",
        "X_02",       "Y_02",       "Z_02",       "X_10",       "Y_10",
        "Z_10",       "DATA1",      "DATA2",      "FRM_BASEID", "FRM_BASE",
        "BAS_WEIGHT", "BASFILLQ",   "BASFILLW",   "BASSPEC_W",  "CUSCAN_DES"}},
  };
  CMixtableEx ts;
  for (const Need& need : needs) {
    SCOPED_TRACE(WyGetFileInfo(need.table)->def.name);
    ASSERT_TRUE(ts.CreateDictionaryItem(need.table));
    for (const char* f : need.fields)
      EXPECT_NE(ts.GetDictionaryItemField(need.table, f), nullptr) << f;
  }
  // The archive's fields come in the order its writers use.
  for (size_t k = 0; k < needs[18].fields.size(); ++k)
    EXPECT_STREQ(ts.GetDictionaryItemField(Y_ARCHIVE, int(k) + 1)->name,
                 needs[18].fields[k]);
}

}  // namespace
