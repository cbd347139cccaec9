// mixtool xml check and repair on documents written by Wy_XmlFile and on
// damaged ones.

#include "xml_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mixtable/wy_xml_file.h"
#include "platform/env.h"
#include "platform/testing/temp_drives.h"

namespace {

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& p, const std::string& b) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << b;
}

class XmlCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("KALVO_ANSICP");
    path_ = drives_.Host("h.xml");
    Wy_XmlFile f(2);
    f.SetFileName(path_, false);
    Wy_SeqFile* h = f.GetFileHandle();
    ASSERT_NE(h, nullptr);
    h->Write("<FRM>1</FRM>\r\n<FRM>2</FRM>\r\n<CANS n=\"a>b\"/>\r\n");
    ASSERT_EQ(f.CloseFileHandle(), 1);
  }
  platform::ScopedTempDrives drives_;
  std::string path_;
};

#ifdef _WIN32
// The Windows build has no XML parser: check and repair both refuse with one
// line, and repair leaves the document as it was (no copy, nothing cut).
TEST_F(XmlCommandTest, WithoutAParserNothingIsWritten) {
  const std::string good = ReadAll(path_);
  std::ostringstream out, err;
  EXPECT_EQ(mixtool::XmlCheck(path_, out, err), 1);
  EXPECT_EQ(out.str(), "charset windows-1252 machine windows-1252\n");
  EXPECT_EQ(err.str(),
            "mixtool: cannot parse " + path_ + " (no XML parser at hand)\n");
  std::ostringstream o2, e2;
  EXPECT_EQ(mixtool::XmlRepair(path_, o2, e2), 1);
  EXPECT_EQ(e2.str(), err.str());
  EXPECT_EQ(ReadAll(path_), good);
  EXPECT_FALSE(platform::Env::Current()->FileExists(path_ + ".bak"));
}
#endif

TEST_F(XmlCommandTest, CheckReportsRootElementsAndCharSet) {
#ifdef _WIN32
  GTEST_SKIP() << "no XML parser in the Windows build (libxml2)";
#endif
  std::ostringstream out, err;
  EXPECT_EQ(mixtool::XmlCheck(path_, out, err), 0) << err.str();
  EXPECT_EQ(out.str(),
            "charset windows-1252 machine windows-1252\nroot HISTORY\n"
            "elements 4\n  SHOPINFO 1\n  FRM 2\n  CANS 1\nwell-formed\n");
  std::ostringstream o3, e3;
  EXPECT_EQ(mixtool::XmlCheck(drives_.Host("none.xml"), o3, e3), 1);
}

TEST_F(XmlCommandTest, RepairCutsBackAndCloses) {
#ifdef _WIN32
  GTEST_SKIP() << "no XML parser in the Windows build (libxml2)";
#endif
  std::string good = ReadAll(path_);
  std::string cut = good.substr(0, good.size() - 20);  // inside CANS
  WriteAll(path_, cut);
  std::ostringstream out, err;
  EXPECT_EQ(mixtool::XmlCheck(path_, out, err), 1);
  EXPECT_NE(out.str().find("error line"), std::string::npos);
  std::ostringstream o2, e2;
  ASSERT_EQ(mixtool::XmlRepair(path_, o2, e2), 0) << o2.str() << e2.str();
  EXPECT_EQ(ReadAll(path_ + ".bak"), cut);
  std::string fixed = ReadAll(path_);
  size_t keep = good.find("<CANS");
  EXPECT_EQ(fixed, good.substr(0, keep) + "</HISTORY>");
  std::ostringstream o3, e3;
  EXPECT_EQ(mixtool::XmlRepair(path_, o3, e3), 0);
  EXPECT_EQ(o3.str(), "nothing to repair\n");
  // An error in the middle: everything from its line on goes.
  WriteAll(path_, good.substr(0, good.find("<FRM>2")) + "<FRM>&</FRM>\r\n" +
                      good.substr(good.find("<CANS")));
  std::ostringstream o4, e4;
  ASSERT_EQ(mixtool::XmlRepair(path_, o4, e4), 0) << o4.str() << e4.str();
  EXPECT_EQ(ReadAll(path_), good.substr(0, good.find("<FRM>2")) + "</HISTORY>");
  // Nothing to keep.
  WriteAll(path_, "garbage");
  std::ostringstream o5, e5;
  EXPECT_EQ(mixtool::XmlRepair(path_, o5, e5), 1);
  EXPECT_EQ(ReadAll(path_), "garbage");
}

}  // namespace
