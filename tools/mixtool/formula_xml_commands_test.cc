// mixtool formula xml|total|resize|add|sub|rgb, called in process on formula
// texts and a small built data set.

#include "formula_xml_commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/testing/temp_drives.h"
#include "testing/data_set_builder.h"

namespace {

using mixtable_testing::Id;

class FormulaXmlCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixtable_testing::DataSetBuilder b("c:\\gdata\\");
    ASSERT_TRUE(b.Append(Y_CNTS, {{"ID", Id(5)},
                                  {"CODE", "R&D"},
                                  {"SPEC_W", "1000"},
                                  {"LOADING", "100"}}))
        << b.error();
    ASSERT_TRUE(b.Append(Y_BASES, {{"ID", Id(1)}, {"SPEC_W", "1200"}}))
        << b.error();
    Write("a.txt", "5,1");
    Write("b.txt", "5,0.5");
  }
  void Write(const char* name, const char* frm) {
    std::ofstream out(drives_.Host(name), std::ios::binary);
    out << "@RUN\r\n@WGH 0\r\n@UNT 1.0000 1.0000\r\n@BAS #1 \"Base\" 900 0 0 0 "
           "1200\r\n"
        << "@CAN #1 \"Can\" 1000 $0$\r\n@FRM \"" << frm
        << "\" 1000 $0$ $0$\r\n@X10 30 20 10\r\n@END\r\n";
    args_.file = drives_.Host("a.txt");
    args_.file2 = drives_.Host("b.txt");
  }
  platform::ScopedTempDrives drives_;
  mixtool::FormulaXmlArgs args_;
  std::ostringstream out_, err_;
};

TEST_F(FormulaXmlCommandsTest, Commands) {
  args_.gdata = "c:\\gdata\\";
  args_.out_doc = drives_.Host("doc.xml");
  for (const char* form : {"compact", "structured", "percent", "cans"}) {
    args_.form = form;
    EXPECT_EQ(mixtool::FormulaXml(args_, out_, err_), 0) << err_.str();
  }
  args_.type = 2;  // an existing document of another root
  EXPECT_EQ(mixtool::FormulaXml(args_, out_, err_), 1);

  args_.colorants_only = false;
  EXPECT_EQ(mixtool::FormulaTotal(args_, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("total: 901.0000 (volume)"), std::string::npos)
      << out_.str();
  EXPECT_EQ(mixtool::FormulaRgb(args_, out_, err_), 0);
  EXPECT_NE(out_.str().find("rgb: ce5451"), std::string::npos);
  args_.nomq = 2000;
  EXPECT_EQ(mixtool::FormulaResize(args_, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("\"5,2\" 2000"), std::string::npos) << out_.str();
  EXPECT_EQ(mixtool::FormulaAddSub(args_, true, out_, err_), 0);
  EXPECT_NE(out_.str().find("\"5,1.5\""), std::string::npos) << out_.str();
  std::swap(args_.file, args_.file2);
  EXPECT_EQ(mixtool::FormulaAddSub(args_, false, out_, err_), 1);
  args_.file = drives_.Host("missing.txt");
  EXPECT_EQ(mixtool::FormulaTotal(args_, out_, err_), 1);
}

}  // namespace
