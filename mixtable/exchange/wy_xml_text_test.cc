// Character-set names and the escaper: the named examples, and for every
// single-byte page a child process that writes each byte 0x20..0xFF into a
// document which must parse to the page's characters.

#include "mixtable/wy_xml_text.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "exchange/xml_test_util.h"
#include "mixtable/wy_xml_file.h"
#include "platform/codepage.h"
#include "platform/env.h"
#include "platform/testing/child_process.h"
#include "platform/testing/temp_drives.h"

namespace {

TEST(XmlCharSet, NamesOfTheTable) {
  const std::pair<int, const char*> rows[] = {
      {874, "iso-8859-11"},   {932, "shift-jis"},     {936, "gb2312"},
      {949, "euc-kr"},        {950, "big5"},          {1200, "unicode"},
      {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
      {1253, "windows-1253"}, {1254, "windows-1254"}, {1255, "windows-1255"},
      {1256, "windows-1256"}, {1257, "windows-1257"}, {437, "windows-1252"},
      {0, "windows-1252"},
  };
  for (const auto& [cp, name] : rows) EXPECT_STREQ(wy_GetXMLCharSet(cp), name);
}

TEST(XmlEscape, MarkupAndControlCharacters) {
  std::string out = "old";
  EXPECT_EQ(Wy_TranslateStringForXml("A<B & \"C\"", out),
            "A&#x3c;B &#x26; &#x22;C&#x22;");
  EXPECT_EQ(
      Wy_TranslateStringForXml(std::string("it's > \x01\t\n\r\x1f", 12), out),
      "it&#x27;s &#x3e; ?\t\n\r?");
  EXPECT_EQ(Wy_TranslateStringForXml(std::string("a\0b", 3), out), "a?b");
  EXPECT_EQ(Wy_TranslateStringForXml(static_cast<const char*>(nullptr), out),
            "");
  // A text escaped into its own output.
  out = "R&D";
  EXPECT_EQ(Wy_TranslateStringForXml(out, out), "R&#x26;D");
}

// args: path. Writes every byte 0x20..0xFF, escaped, into a document at
// path under the code page of $KALVO_ANSICP.
KALVO_CHILD_MAIN(xml_write_every_byte)(const std::vector<std::string>& args) {
  if (args.size() != 1) return 9;
  std::string bytes;
  for (int b = 0x20; b <= 0xFF; b++) bytes.push_back(static_cast<char>(b));
  std::string esc;
  Wy_XmlFile f(3);
  if (!f.SetFileName(args[0], false)) return 2;
  Wy_SeqFile* h = f.GetFileHandle();
  if (h == nullptr) return 3;
  h->Write("<T>" + Wy_TranslateStringForXml(bytes, esc) + "</T>");
  return f.CloseFileHandle() == 1 ? 0 : 4;
}

TEST(XmlCodePage, EveryByteOfEverySingleBytePageParses) {
  platform::ScopedTempDrives drives;
  for (int cp : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257}) {
    SCOPED_TRACE(cp);
    std::string path = drives.Host("cp" + std::to_string(cp) + ".xml");
    // The child reads its code page from its environment at start.
    platform::Env* env = platform::Env::Current();
    std::string old;
    const bool had = env->GetEnv("KALVO_ANSICP", &old);
    env->SetEnv("KALVO_ANSICP", std::to_string(cp));
    const int code =
        platform::testing::RunChild("xml_write_every_byte", {path});
    if (had) {
      env->SetEnv("KALVO_ANSICP", old);
    } else {
      env->UnsetEnv("KALVO_ANSICP");
    }
    ASSERT_EQ(0, code);
    std::string doc = xmltest::ReadAll(path);
    std::string decl = std::string("<?xml version=\"1.0\" encoding=\"") +
                       wy_GetXMLCharSet(cp) + "\"?>\r\n";
    EXPECT_EQ(doc.substr(0, decl.size()), decl);
    std::string why, text;
    ASSERT_TRUE(xmltest::ParseStrict(doc, &why, nullptr, &text)) << why;
    std::string bytes;
    for (int b = 0x20; b <= 0xFF; b++) bytes.push_back(static_cast<char>(b));
    // The root's text: the opening tag's line break, the shop line's tab
    // and line feed, then the element's characters.
    EXPECT_EQ(text, "\n\t\n" + platform::CodePageToUtf8(bytes, cp));
    // Bytes the declared set leaves undefined or reads otherwise.
    if (cp == 874) {
      EXPECT_NE(doc.find("&#x20ac;"), std::string::npos);
    }
    if (cp == 1251) {
      EXPECT_NE(doc.find("&#x98;"), std::string::npos);
    }
    if (cp == 1252) {
      EXPECT_NE(doc.find("&#x81;"), std::string::npos);
    }
  }
}

}  // namespace
