// Wy_XmlFile: new and reopened documents, the shop line, bad existing files,
// two appending processes and a writer killed part way.

#include "mixtable/wy_xml_file.h"

#include <gtest/gtest.h>

#include <set>

#include "exchange/xml_test_util.h"
#include "mixtable/wy_htmltag.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_drives.h"

namespace {

using xmltest::ParseStrict;
using xmltest::ReadAll;
using xmltest::WriteAll;

constexpr char kDecl[] =
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n";

class XmlFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Env::Current()->UnsetEnv("KALVO_ANSICP");
    path_ = drives_.Host("doc.xml");
  }
  // Appends one element through a fresh object; answers CloseFileHandle.
  int Append(int type, const std::string& element,
             const Wy_ShopData* shop = nullptr) {
    Wy_XmlFile f(type, shop);
    EXPECT_TRUE(f.SetFileName(path_, true));
    Wy_SeqFile* h = f.GetFileHandle();
    if (h == nullptr) return -1;
    h->Write(element);
    return f.CloseFileHandle();
  }
  platform::ScopedTempDrives drives_;
  std::string path_;
};

TEST_F(XmlFileTest, NewHistoryDocumentWithShopThenReopened) {
  Wy_ShopData shop;
  shop.m_Shop1 = "Paint & Co";
  shop.m_Shop2 = "Main St";
  shop.m_Shop3 = "Town";
  shop.m_PcId = "PC1";
  ASSERT_EQ(Append(2, "<FRM>1</FRM>\r\n", &shop), 1);
  std::string head = std::string(kDecl) + "<HISTORY>\r\n" +
                     "<SHOPINFO>(Paint &#x26; Co)(Main St)(Town)(PC1)"
                     "</SHOPINFO>\t\n";
  EXPECT_EQ(ReadAll(path_), head + "<FRM>1</FRM>\r\n</HISTORY>");
  ASSERT_EQ(Append(2, "<FRM>2</FRM>\r\n", &shop), 1);
  std::string doc = ReadAll(path_);
  EXPECT_EQ(doc, head + "<FRM>1</FRM>\r\n<FRM>2</FRM>\r\n</HISTORY>");
  std::string why;
  EXPECT_TRUE(ParseStrict(doc, &why)) << why;
}

TEST_F(XmlFileTest, ShopLinesByType) {
  EXPECT_EQ(Wy_XmlFile(2).ShopLine(), "<SHOPINFO></SHOPINFO>\t\n");
  EXPECT_EQ(Wy_XmlFile(5).ShopLine(), "<SHOPINFO></SHOPINFO>\t\n");
  Wy_ShopData shop;
  shop.m_Shop1 = std::string(10000, 'x') + "<b>";
  EXPECT_EQ(Wy_XmlFile(5, &shop).ShopLine().size(), 10u + 10015 + 6 + 13);
  for (int type : {1, 3, 4, 6, 7, 8})
    EXPECT_EQ(Wy_XmlFile(type, &shop).ShopLine(), "\t\n") << type;
  const char* roots[] = {"HISTORY",      "HISTORY",     "FRM_REPORT",
                         "FRM_AND_CANS", "FRM_TO_DISP", "REFILL_INFO",
                         "NewDataSet",   "LEVELS_INFO"};
  for (int type = 1; type <= 8; type++) {
    Wy_XmlFile f(type);
    EXPECT_EQ(f.OpenTag(), std::string("<") + roots[type - 1] + ">\r\n");
    EXPECT_EQ(f.CloseTag(), std::string("</") + roots[type - 1] + ">");
    EXPECT_EQ(f.Declaration(), kDecl);
  }
  std::string n1 = Wy_XmlFile(1).GetFileName();
  std::string n2 = Wy_XmlFile(2).GetFileName();
  EXPECT_EQ(n1.substr(n1.size() - 12), "\\XMLHIST.XML");
  EXPECT_EQ(n2.substr(n2.size() - 12), "\\HISTORY.XML");
  EXPECT_EQ(Wy_XmlFile(3).GetFileName(), "");
  // A long shop text still gives a valid document.
  Wy_XmlFile f(5, &shop);
  f.SetFileName(path_, false);
  ASSERT_NE(f.GetFileHandle(), nullptr);
  ASSERT_EQ(f.CloseFileHandle(), 1);
  std::string why;
  EXPECT_TRUE(ParseStrict(ReadAll(path_), &why)) << why;
}

TEST_F(XmlFileTest, AppendsAfterLastElementWhenClosingTagMissing) {
  std::string old = std::string(kDecl) + "<FRM_REPORT>\r\n\t\n<A>1</A>\r\n";
  WriteAll(path_, old);
  ASSERT_EQ(Append(3, "<B/>"), 1);
  EXPECT_EQ(ReadAll(path_), old + "<B/></FRM_REPORT>");
}

TEST_F(XmlFileTest, ShortAppendLeavesNothingOfOldClosingTag) {
  ASSERT_EQ(Append(3, ""), 1);
  std::string base = std::string(kDecl) + "<FRM_REPORT>\r\n\t\n";
  EXPECT_EQ(ReadAll(path_), base + "</FRM_REPORT>");
  // Trailing line breaks after the closing tag are cut away too.
  WriteAll(path_, ReadAll(path_) + "\r\n\r\n");
  ASSERT_EQ(Append(3, "<B/>"), 1);
  EXPECT_EQ(ReadAll(path_), base + "<B/></FRM_REPORT>");
  // A closing tag cut short is taken for the closing tag.
  WriteAll(path_, base + "<B/></FRM_REP");
  ASSERT_EQ(Append(3, "<C/>"), 1);
  EXPECT_EQ(ReadAll(path_), base + "<B/><C/></FRM_REPORT>");
}

TEST_F(XmlFileTest, EmptyExistingFileCountsAsNew) {
  WriteAll(path_, "");
  ASSERT_EQ(Append(3, "<A/>"), 1);
  EXPECT_EQ(ReadAll(path_), std::string(kDecl) +
                                "<FRM_REPORT>\r\n\t\n<A/>"
                                "</FRM_REPORT>");
}

TEST_F(XmlFileTest, SetFileNameAndCopy) {
  Wy_XmlFile f(3);
  EXPECT_FALSE(f.SetFileName("", true));
  EXPECT_EQ(f.GetFileHandle(), nullptr);  // no name
  EXPECT_EQ(f.CloseFileHandle(), 0);
  WriteAll(path_, "old");
  EXPECT_TRUE(f.SetFileName(path_, true));
  EXPECT_EQ(ReadAll(path_), "old");
  EXPECT_TRUE(f.SetFileName(path_, false));
  EXPECT_FALSE(platform::Env::Current()->FileExists(path_));
  ASSERT_NE(f.GetFileHandle(), nullptr);
  Wy_XmlFile copy(f);  // starts closed: writes nothing of its own
  EXPECT_EQ(copy.GetFileName(), path_);
  EXPECT_EQ(copy.CloseFileHandle(), 0);
  EXPECT_EQ(f.CloseFileHandle(), 1);
  ASSERT_NE(copy.GetFileHandle(), nullptr);
  copy.GetFileHandle()->Write("<X/>");
  EXPECT_EQ(copy.CloseFileHandle(), 1);
  std::string why;
  EXPECT_TRUE(ParseStrict(ReadAll(path_), &why)) << why;
  Wy_XmlFile bad(9);
  bad.SetFileName(path_, true);
  EXPECT_EQ(bad.GetFileHandle(), nullptr);
}

TEST_F(XmlFileTest, BadExistingFilesAreRefusedUnchanged) {
  const std::string good = std::string(kDecl) + "<FRM_REPORT>\r\n";
  const std::string cases[] = {
      "no markup at all",
      good + "<A>x</A",                        // "<" in the last bytes
      good + "<A>x</A><B",                     // a tag cut short
      std::string(kDecl) + "<OTHER></OTHER>",  // another root
      std::string(kDecl) + "<FRM_REPORT/>",    // root closed on itself
      "\x01\x02<",
      std::string(kDecl) + "<FRM_REPORT></FRM_REPORT><!-- x -->",
      good + "<!-- </FRM_REPORT> -->",
      good + "<![CDATA[ a < b ]]>",
  };
  for (const std::string& bytes : cases) {
    WriteAll(path_, bytes);
    EXPECT_EQ(Append(3, "<N/>"), -1) << bytes;
    EXPECT_EQ(ReadAll(path_), bytes);
  }
  // A directory and a read-only file.
  platform::Env* env = platform::Env::Current();
  std::string dir = drives_.Host("adir");
  ASSERT_TRUE(env->CreateDir(dir).ok());
  Wy_XmlFile d(3);
  d.SetFileName(dir, true);
  EXPECT_EQ(d.GetFileHandle(), nullptr);
  WriteAll(path_, good + "</FRM_REPORT>");
  ASSERT_TRUE(env->SetAttributes(path_, platform::kAttrReadOnly).ok());
  EXPECT_EQ(Append(3, "<N/>"), -1);
  EXPECT_EQ(ReadAll(path_), good + "</FRM_REPORT>");
  ASSERT_TRUE(env->SetAttributes(path_, platform::kAttrNormal).ok());
}

constexpr int kQueueEach = 500;

// args: path, p. Appends kQueueEach elements "<E>p-i</E>" to the queue
// document, each through a fresh object; 0 when all went in.
KALVO_CHILD_MAIN(xml_queue_append)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  int bad = 0;
  for (int i = 0; i < kQueueEach; i++) {
    Wy_XmlFile f(1);
    if (!f.SetFileName(args[0], true) || f.GetFileHandle() == nullptr) {
      return 2;
    }
    f.GetFileHandle()->Write("<E>" + args[1] + "-" + std::to_string(i) +
                             "</E>\r\n");
    if (f.CloseFileHandle() != 1) bad++;
  }
  return bad == 0 ? 0 : 1;
}

// args: path, ready marker. Opens an element of the formula document,
// writes 100 000 bytes into it, signals ready and waits to be killed.
KALVO_CHILD_MAIN(xml_writer_killed)(const std::vector<std::string>& args) {
  if (args.size() != 2) return 9;
  Wy_XmlFile f(2);
  f.SetFileName(args[0], true);
  Wy_SeqFile* h = f.GetFileHandle();
  if (h == nullptr) return 3;
  Wy_htmltag frm(h, "<FRM>");
  h->Write(std::string(100000, 'x'));
  if (!platform::testing::SignalFile(args[1])) return 4;
  platform::testing::WaitForFile(args[1] + ".never", -1);
  return 5;
}

TEST_F(XmlFileTest, TwoProcessesAppendingQueue) {
  constexpr int kEach = kQueueEach;
  std::unique_ptr<platform::Process> kids[2];
  for (int p = 0; p < 2; p++) {
    ASSERT_TRUE(platform::testing::StartChild(
                    "xml_queue_append", {path_, std::to_string(p)}, &kids[p])
                    .ok());
  }
  for (auto& kid : kids) EXPECT_EQ(0, platform::testing::WaitChild(kid.get()));
  std::string doc = ReadAll(path_);
  std::string why;
  ASSERT_TRUE(ParseStrict(doc, &why)) << why;
  std::multiset<std::string> seen;
  for (size_t at = doc.find("<E>"); at != std::string::npos;
       at = doc.find("<E>", at + 1))
    seen.insert(doc.substr(at + 3, doc.find('<', at + 3) - at - 3));
  EXPECT_EQ(seen.size(), 2u * kEach);
  for (int p = 0; p < 2; p++)
    for (int i = 0; i < kEach; i++)
      EXPECT_EQ(seen.count(std::to_string(p) + "-" + std::to_string(i)), 1u);
}

TEST_F(XmlFileTest, WriterKilledPartWayLeavesDocumentUnchanged) {
  ASSERT_EQ(Append(2, "<FRM>1</FRM>\r\n"), 1);
  std::string before = ReadAll(path_);
  const std::string ready = drives_.Host("writer.ready");
  std::unique_ptr<platform::Process> writer;
  ASSERT_TRUE(platform::testing::StartChild("xml_writer_killed", {path_, ready},
                                            &writer)
                  .ok());
  ASSERT_TRUE(platform::testing::WaitForFile(ready, 60000, writer.get()));
  ASSERT_TRUE(platform::testing::KillChild(writer.get()));
  EXPECT_EQ(ReadAll(path_), before);
  // The lock died with the writer: the next append goes through.
  ASSERT_EQ(Append(2, "<FRM>2</FRM>\r\n"), 1);
  std::string why;
  EXPECT_TRUE(ParseStrict(ReadAll(path_), &why)) << why;
}

}  // namespace
