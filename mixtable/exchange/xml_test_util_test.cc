// The tests' own well-formedness checker (what ParseStrict is without
// libxml2) answers as libxml2 does on a table of documents, and where the
// build has no parser, Wy_SAXParse answers "cannot read".

#include "exchange/xml_test_util.h"

#include <gtest/gtest.h>

#include <string>

#include "mixtable/wy_sax.h"
#include "platform/testing/temp_drives.h"

namespace {

constexpr char kDecl[] =
    "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n";

TEST(XmlCheck, AgreesWithTheParserOnATableOfDocuments) {
  const std::string d = kDecl;
  struct Row {
    std::string doc;
    bool ok;
    const char* root;
    const char* text;  // nullptr: not compared
  };
  const Row rows[] = {
      {"<R/>", true, "R", ""},
      {d + "<R>\r\n\t\n</R>", true, "R", "\n\t\n"},
      {d + "<R a=\"1\" b='&#x3c;'><A>x&amp;y&#65;</A>\rz</R>\r\n", true, "R",
       "x&yA\nz"},
      {d + "<R>\xe9\x80</R>", true, "R", "\xc3\xa9\xe2\x82\xac"},
      {d + "<!-- c --><?pi x?><R><![CDATA[<&>]]></R><!-- after -->", true, "R",
       "<&>"},
      {"<?xml version=\"1.0\"?><R>\xc3\xa9</R>", true, "R", "\xc3\xa9"},
      {d + "<R\xe9 \xe9"
           "a=\"\xe9\"/>",
       true, "R\xc3\xa9", ""},
      {d + "<R>\x81</R>", false, nullptr, nullptr},  // undefined in 1252
      {d + "<R\x81/>", false, nullptr, nullptr},
      {"<?xml version=\"1.0\" encoding=\"no-such-set\"?><R/>", false, nullptr,
       nullptr},
      {"<?xml version=\"1.0\" encoding=\"windows 1252\"?><R/>", false, nullptr,
       nullptr},
      {"<?xml version=\"1.0\"?><R>\xe9</R>", false, nullptr, nullptr},
      {d + "<R><A></R>", false, nullptr, nullptr},
      {d + "<R></R><S/>", false, nullptr, nullptr},
      {d + "<R>a < b</R>", false, nullptr, nullptr},
      {d + "<R>a & b</R>", false, nullptr, nullptr},
      {d + "<R>&e;</R>", false, nullptr, nullptr},
      {d + "<R>&#x1;</R>", false, nullptr, nullptr},
      {d + "<R>\x01</R>", false, nullptr, nullptr},
      {d + "<R a=\"<\"/>", false, nullptr, nullptr},
      {d + "<R a=\"1\" a=\"2\"/>", false, nullptr, nullptr},
      {d + "<R a=\"1\"b=\"2\"/>", false, nullptr, nullptr},
      {d + "<R>]]></R>", false, nullptr, nullptr},
      {d + "<R><!-- a -- b --></R>", false, nullptr, nullptr},
      {d + "<R>", false, nullptr, nullptr},
      {d + "<R></R", false, nullptr, nullptr},
      {"\r\n" + d + "<R/>", false, nullptr, nullptr},
      {d, false, nullptr, nullptr},
      {"", false, nullptr, nullptr},
      {"no markup", false, nullptr, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.doc);
    std::string why, root, text;
    EXPECT_EQ(xmltest::CheckWellFormed(r.doc, &why, &root, &text), r.ok) << why;
    if (r.ok && r.root) {
      EXPECT_EQ(root, r.root);
    }
    if (r.ok && r.text) {
      EXPECT_EQ(text, r.text);
    }
    if (!xmltest::HaveLibXml2()) continue;
    std::string pwhy, proot, ptext;
    EXPECT_EQ(xmltest::ParseStrict(r.doc, &pwhy, &proot, &ptext), r.ok) << pwhy;
    if (r.ok) {
      EXPECT_EQ(proot, root);
      EXPECT_EQ(ptext, text);
    }
  }
}

TEST(XmlCheck, ParsingWhereTheBuildHasNoParser) {
  platform::ScopedTempDrives drives;
  const std::string path = drives.Host("d.xml");
  xmltest::WriteAll(path, "<R>x</R>");
  Wy_SAXContentHandlerImpl content;
  const int file = Wy_SAXParse(path.c_str(), &content, nullptr, nullptr);
  const int memory = Wy_SAXParseMemory("<R/>", 4, &content, nullptr, nullptr);
#ifdef _WIN32
  // The Windows build has no XML parser: every parse is "cannot read".
  EXPECT_EQ(file, kWySaxCannotRead);
  EXPECT_EQ(memory, kWySaxCannotRead);
#else
  EXPECT_EQ(file, 0);
  EXPECT_EQ(memory, 0);
#endif
}

}  // namespace
