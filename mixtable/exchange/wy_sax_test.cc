// Wy_SAXParse: events in order, attributes, stopping, errors and hostile
// documents (entity expansion, external entities, deep nesting).

#include "mixtable/wy_sax.h"

#include <gtest/gtest.h>

#include <string>

#include "exchange/xml_test_util.h"
#include "platform/testing/temp_drives.h"

namespace {

class Recorder : public Wy_SAXContentHandlerImpl {
 public:
  std::string log;
  int stop_at_element = 0;  // answer this from the second startElement
  int elements = 0;
  int putDocumentLocator(const Wy_SAXLocator* l) override {
    locator = l;
    log += "loc;";
    return 0;
  }
  int startDocument() override {
    log += "start;";
    return 0;
  }
  int endDocument() override {
    log += "end;";
    return 0;
  }
  int startElement(const char*, int, const char* local, int localLen,
                   const char* q, int qLen,
                   const Wy_SAXAttributes* a) override {
    log += "<" + std::string(q, qLen) + "|" + std::string(local, localLen);
    for (int i = 0; i < a->getLength(); i++) {
      const char *n, *v;
      int nl, vl;
      a->getQName(i, &n, &nl);
      a->getValue(i, &v, &vl);
      log += " " + std::string(n, nl) + "=" + std::string(v, vl);
    }
    const char* v;
    int vl;
    if (a->getValueFromQName("id", 2, &v, &vl))
      log += " id@" + std::to_string(locator->getLineNumber()) + "=" +
             std::string(v, vl);
    log += ">";
    if (++elements == 2 && stop_at_element) return stop_at_element;
    return 0;
  }
  int endElement(const char*, int, const char*, int, const char* q,
                 int qLen) override {
    log += "</" + std::string(q, qLen) + ">";
    return 0;
  }
  int characters(const char* c, int len) override {
    log += std::string(c, len);
    return 0;
  }
  int skippedEntity(const char* n, int len) override {
    log += "&" + std::string(n, len) + ";";
    return 0;
  }
  const Wy_SAXLocator* locator = nullptr;
};

class Errors : public Wy_SAXErrorHandlerImpl {
 public:
  std::string log;
  int fatalError(const Wy_SAXLocator* l, const char*, int code) override {
    log += "fatal@" + std::to_string(l->getLineNumber()) + ":" +
           std::to_string(code) + ";";
    return 0;
  }
};

int Parse(const std::string& s, Wy_SAXContentHandlerImpl* c,
          Wy_SAXErrorHandlerImpl* e = nullptr) {
  return Wy_SAXParseMemory(s.data(), static_cast<int>(s.size()), c, nullptr, e);
}

TEST(Sax, EventsInOrder) {
  Recorder r;
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
      "<R a=\"1\">\n<X id=\"&lt;\xe9\">t&amp;u</X></R>";
  EXPECT_EQ(Parse(doc, &r), 0);
  EXPECT_EQ(r.log,
            "loc;start;<R|R a=1>\n<X|X id=<\xc3\xa9 id@3=<\xc3\xa9>t&u</X>"
            "</R>end;");
}

TEST(Sax, HandlerAnswerStopsTheParse) {
  Recorder r;
  r.stop_at_element = 7;
  EXPECT_EQ(Parse("<R><A/><B/></R>", &r), 7);
  EXPECT_EQ(r.log.find("<B"), std::string::npos);
}

TEST(Sax, ErrorsGiveTheParserCode) {
  Recorder r;
  Errors e;
  int code = Parse("<R>\n<A></R>", &r, &e);
  EXPECT_GT(code, 0);
  EXPECT_NE(e.log.find("fatal@2"), std::string::npos) << e.log;
  EXPECT_GT(Parse("", nullptr), 0);
  EXPECT_GT(Parse("no xml", nullptr), 0);
  // Do-nothing handlers everywhere.
  Wy_SAXContentHandlerImpl c;
  Wy_SAXDTDHandlerImpl d;
  Wy_SAXErrorHandlerImpl x;
  EXPECT_EQ(c.AddRef(), 0);
  EXPECT_EQ(x.Release(), 0);
  std::string doc = "<R><A/></R>";
  EXPECT_EQ(Wy_SAXParseMemory(doc.data(), 11, &c, &d, &x), 0);
}

TEST(Sax, HostileDocuments) {
  // Entities other than the predefined ones are not expanded.
  Recorder r;
  EXPECT_EQ(Parse("<!DOCTYPE R [<!ENTITY e \"boom\">]><R>&e;&lt;</R>", &r), 0);
  EXPECT_EQ(r.log.find("boom"), std::string::npos) << r.log;
  EXPECT_NE(r.log.find("&e;"), std::string::npos) << r.log;
  // External entities are never read.
  platform::ScopedTempDrives drives;
  std::string secret = drives.Host("secret.txt");
  xmltest::WriteAll(secret, "SECRET");
  Recorder x;
  Parse("<!DOCTYPE R [<!ENTITY e SYSTEM \"file://" + secret + "\">]><R>&e;</R>",
        &x);
  EXPECT_EQ(x.log.find("SECRET"), std::string::npos) << x.log;
  // Billion laughs: refused or unexpanded, in any case quickly.
  std::string bl = "<!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\">";
  char prev = 'a';
  for (char c = 'b'; c <= 'k'; c++, prev++) {
    bl += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; i++) bl += std::string("&") + prev + ";";
    bl += "\">";
  }
  bl += "]><R>&k;</R>";
  Recorder b;
  Parse(bl, &b);
  EXPECT_LT(b.log.size(), 10000u);
  // Deep nesting is refused.
  std::string deep;
  for (int i = 0; i < 100000; i++) deep += "<a>";
  EXPECT_GT(Parse(deep, nullptr), 0);
}

TEST(Sax, ParsesFilesThroughThePlatform) {
  platform::ScopedTempDrives drives;
  std::string path = drives.Host("d.xml");
  xmltest::WriteAll(path, "<R>x</R>");
  Recorder r;
  EXPECT_EQ(Wy_SAXParse(path.c_str(), &r, nullptr, nullptr), 0);
  EXPECT_NE(r.log.find("<R|R>x</R>"), std::string::npos);
  EXPECT_EQ(Wy_SAXParse(drives.Host("missing.xml").c_str(), nullptr, nullptr,
                        nullptr),
            kWySaxCannotRead);
  EXPECT_EQ(Wy_SAXParse(nullptr, nullptr, nullptr, nullptr), kWySaxCannotRead);
}

}  // namespace
