// Tag writers: the end-tag rule, the wrappers and the scope objects.

#include "mixtable/wy_htmltag.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "exchange/xml_test_util.h"
#include "platform/testing/temp_drives.h"

namespace {

TEST(HtmlTag, EndTagRule) {
  const std::pair<const char*, const char*> rows[] = {
      {"<TABLE width=\"100%\">", "</TABLE>"},
      {"<B>", "</B>"},
      {"  <TD\twidth=1>", "</TD>"},
      {"<A\nhref=x>", "</A>"},
      {"<B", nullptr},     // no ">"
      {"", nullptr},       // empty
      {"B>", nullptr},     // no "<"
      {"<>", nullptr},     // nothing between
      {"< B>", nullptr},   // blank after "<"
      {"<BR/>", nullptr},  // closed on itself
      {"<IMG src=x />", nullptr},
  };
  for (const auto& [start, end] : rows) {
    std::string out = "unchanged";
    EXPECT_EQ(Wy_CHtmlTag::ClosingTag(start, out), end ? 1 : 0) << start;
    EXPECT_EQ(out, end ? end : "unchanged") << start;
    out = "unchanged";
    EXPECT_EQ(Wy_htmltag::closingtag(start, out), end != nullptr) << start;
    EXPECT_EQ(out, end ? end : "unchanged") << start;
  }
  std::string out;
  EXPECT_EQ(Wy_CHtmlTag::ClosingTag(nullptr, out), 0);
}

TEST(HtmlTag, WrappersAndScopes) {
  EXPECT_EQ(Wy_CHtmlTag::Str("<B>", "abc"), "<B>abc</B>\n");
  EXPECT_EQ(Wy_htmltag::str("<B>", "abc"), "<B>abc</B>\r\n");
  EXPECT_EQ(Wy_CHtmlTag::Str("<B", "abc"), "<Babc\n");
  EXPECT_EQ(Wy_htmltag::str("<BR/>", ""), "<BR/>\r\n");

  platform::ScopedTempDrives drives;
  const std::string stream_path = drives.Host("stream.txt");
  FILE* stream = fopen(stream_path.c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  {
    Wy_CHtmlTag table(stream, "<TABLE border=\"1\">");
    Wy_CHtmlTag moved(std::move(table));  // the end tag goes with the move
    Wy_CHtmlTag none(nullptr, "<TR>");
  }
  fclose(stream);
  EXPECT_EQ(xmltest::ReadAll(stream_path), "<TABLE border=\"1\"></TABLE>\n");

  std::string path = drives.Host("t.xml");
  Wy_SeqFile f;
  ASSERT_TRUE(f.Open(path, true));
  {
    Wy_htmltag root(&f, "<R a=\"1\">");
    f.Write("\r\n");
    Wy_htmltag a(&f, "<A>");
    Wy_htmltag b = std::move(a);
    f.Write(Wy_htmltag::str("<C>", "x"));
  }
  f.Close();
  std::string doc = xmltest::ReadAll(path);
  EXPECT_EQ(doc, "<R a=\"1\">\r\n<A><C>x</C>\r\n</A>\r\n</R>\r\n");
  std::string why;
  EXPECT_TRUE(xmltest::ParseStrict(doc, &why)) << why;
}

}  // namespace
