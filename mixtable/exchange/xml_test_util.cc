// Test helpers for written XML documents (see xml_test_util.h).

#include "exchange/xml_test_util.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "platform/codepage.h"

#ifdef KALVO_TEST_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#endif

namespace xmltest {
namespace {

using platform::AppendUtf8;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsXmlChar(char32_t u) {
  return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
         (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF);
}

// One pass over the bytes; the first fault is kept in err.
class Checker {
 public:
  explicit Checker(const std::string& s) : s_(s) {}

  bool Run() {
    if (Starts("<?xml") && s_.size() > 5 && IsSpace(s_[5])) {
      if (!Declaration()) return false;
    }
    if (!Misc()) return false;
    if (Starts("<!DOCTYPE")) return Fail("document type declaration");
    if (AtEnd() || s_[i_] != '<') return Fail("no root element");
    return Content() && Misc() && (AtEnd() || Fail("content after the root"));
  }

  std::string err, root, text;

 private:
  bool Fail(const std::string& what) {
    if (err.empty()) err = "at byte " + std::to_string(i_) + ": " + what;
    return false;
  }
  bool AtEnd() const { return i_ >= s_.size(); }
  bool Starts(const char* p) const {
    return s_.compare(i_, std::strlen(p), p) == 0;
  }
  bool Expect(const char* p) {
    if (!Starts(p)) return Fail(std::string("expected ") + p);
    i_ += std::strlen(p);
    return true;
  }
  size_t SkipSpace() {
    size_t from = i_;
    while (!AtEnd() && IsSpace(s_[i_])) i_++;
    return i_ - from;
  }

  // Reads one character at i_ in the document's character set.
  bool Char(char32_t* u) {
    if (AtEnd()) return Fail("unexpected end");
    const unsigned char b = static_cast<unsigned char>(s_[i_]);
    if (b < 0x80) {
      *u = b;
      i_++;
    } else if (!utf8_) {
      if (!platform::CharsetByteToUnicode(charset_.c_str(), b, u))
        return Fail("byte undefined in " + charset_);
      i_++;
    } else {
      int n = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
      if (n < 0 || b > 0xF4 || i_ + n >= s_.size()) return Fail("bad UTF-8");
      char32_t c = b & (0x3F >> n);
      for (int k = 1; k <= n; k++) {
        const unsigned char t = static_cast<unsigned char>(s_[i_ + k]);
        if ((t & 0xC0) != 0x80) return Fail("bad UTF-8");
        c = (c << 6) | (t & 0x3F);
      }
      static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
      if (c < kMin[n]) return Fail("overlong UTF-8");
      *u = c;
      i_ += 1 + n;
    }
    if (!IsXmlChar(*u)) return Fail("character not allowed");
    return true;
  }

  // XML name characters above ASCII (start characters, and with first
  // false the further ones).
  static bool IsNameChar(char32_t u, bool first) {
    static const char32_t kStart[][2] = {
        {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},
        {0x370, 0x37D},   {0x37F, 0x1FFF},  {0x200C, 0x200D},
        {0x2070, 0x218F}, {0x2C00, 0x2FEF}, {0x3001, 0xD7FF},
        {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF}};
    for (const auto& r : kStart)
      if (u >= r[0] && u <= r[1]) return true;
    return !first && (u == 0xB7 || (u >= 0x300 && u <= 0x36F) || u == 0x203F ||
                      u == 0x2040);
  }
  // One name character at i_, consumed and appended to *out (UTF-8); false
  // (i_ unchanged) when the character there is none.
  bool NameChar(bool first, std::string* out) {
    if (AtEnd()) return false;
    const char c = s_[i_];
    if (static_cast<unsigned char>(c) < 0x80) {
      const bool ok =
          ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || c == ':' ||
          (!first && ((c >= '0' && c <= '9') || c == '.' || c == '-'));
      if (ok) out->push_back(s_[i_++]);
      return ok;
    }
    const size_t at = i_;
    char32_t u;
    if (Char(&u) && IsNameChar(u, first)) {
      AppendUtf8(u, out);
      return true;
    }
    i_ = at;
    return false;
  }
  bool Name(std::string* out) {
    out->clear();
    if (!NameChar(true, out)) return Fail("name expected");
    while (NameChar(false, out)) {
    }
    return err.empty();  // else a byte the character set leaves out
  }

  // At '&': a character reference or one of the five predefined entities.
  bool Reference(char32_t* u) {
    i_++;
    if (!AtEnd() && s_[i_] == '#') {
      i_++;
      const bool hex = !AtEnd() && s_[i_] == 'x';
      if (hex) i_++;
      char32_t v = 0;
      size_t digits = 0;
      for (; !AtEnd() && s_[i_] != ';'; i_++, digits++) {
        const char c = s_[i_];
        int d = c >= '0' && c <= '9' ? c - '0'
                : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f'
                    ? (c | 0x20) - 'a' + 10
                    : -1;
        if (d < 0) return Fail("bad character reference");
        v = v * (hex ? 16 : 10) + d;
        if (v > 0x10FFFF) return Fail("character reference out of range");
      }
      if (digits == 0 || !Expect(";")) return Fail("bad character reference");
      if (!IsXmlChar(v)) return Fail("reference to a character not allowed");
      *u = v;
      return true;
    }
    std::string name;
    if (!Name(&name) || !Expect(";")) return Fail("bad entity reference");
    static const std::pair<const char*, char32_t> kPredefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& [n, c] : kPredefined) {
      if (name == n) {
        *u = c;
        return true;
      }
    }
    return Fail("undefined entity &" + name + ";");
  }

  // A quoted value; *value gets its bytes as written (for the declaration).
  bool Quoted(bool refs, std::string* value) {
    if (AtEnd() || (s_[i_] != '"' && s_[i_] != '\'')) return Fail("quote");
    const char q = s_[i_++];
    const size_t from = i_;
    while (!AtEnd() && s_[i_] != q) {
      char32_t u;
      if (s_[i_] == '<') return Fail("'<' in an attribute value");
      if (s_[i_] == '&' && refs) {
        if (!Reference(&u)) return false;
      } else if (!Char(&u)) {
        return false;
      }
    }
    if (value) *value = s_.substr(from, i_ - from);
    return Expect(q == '"' ? "\"" : "'");
  }

  bool Declaration() {
    i_ += 5;
    std::set<std::string> seen;
    while (true) {
      const size_t space = SkipSpace();
      if (Starts("?>")) break;
      std::string name, value;
      if (!space || !Name(&name)) return Fail("bad declaration");
      SkipSpace();
      if (!Expect("=")) return false;
      SkipSpace();
      if (!Quoted(false, &value)) return false;
      if (!seen.insert(name).second) return Fail("repeated " + name);
      if (name == "version") {
        if (value != "1.0") return Fail("version " + value);
      } else if (name == "encoding") {
        // [A-Za-z] ([A-Za-z0-9._] | '-')*
        for (size_t k = 0; k < value.size(); k++) {
          const char c = value[k];
          const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
          const bool other =
              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
          if (!letter && (k == 0 || !other))
            return Fail("bad character set name " + value);
        }
        if (value.empty()) return Fail("empty character set name");
        char32_t a;
        if (!platform::CharsetByteToUnicode(value.c_str(), 'A', &a))
          return Fail("unknown character set " + value);
        std::string lower;
        for (char c : value)
          lower.push_back(
              static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        utf8_ = lower == "utf-8";
        charset_ = value;
      } else if (name != "standalone") {
        return Fail("unknown declaration item " + name);
      }
    }
    if (!seen.count("version")) return Fail("declaration without version");
    return Expect("?>");
  }

  bool Comment() {
    i_ += 4;
    char32_t u;
    while (!Starts("--")) {
      if (!Char(&u)) return false;
    }
    return Expect("-->") || Fail("'--' in a comment");
  }

  bool Pi() {
    i_ += 2;
    std::string target;
    if (!Name(&target)) return false;
    std::string lower;
    for (char c : target)
      lower.push_back(
          static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (lower == "xml") return Fail("declaration not at the start");
    char32_t u;
    if (!Starts("?>") && !SkipSpace())
      return Fail("bad processing instruction");
    while (!Starts("?>")) {
      if (!Char(&u)) return false;
    }
    return Expect("?>");
  }

  // Whitespace, comments and processing instructions outside the root.
  bool Misc() {
    while (true) {
      SkipSpace();
      if (Starts("<!--")) {
        if (!Comment()) return false;
      } else if (Starts("<?")) {
        if (!Pi()) return false;
      } else {
        return true;
      }
    }
  }

  // At '<' of a start tag; *empty tells "<X/>".
  bool StartTag(std::string* name, bool* empty) {
    i_++;
    if (!Name(name)) return false;
    std::set<std::string> attrs;
    while (true) {
      const size_t space = SkipSpace();
      if (Starts("/>")) {
        i_ += 2;
        *empty = true;
        return true;
      }
      if (Starts(">")) {
        i_++;
        *empty = false;
        return true;
      }
      std::string attr;
      if (!space) return Fail("space expected before an attribute");
      if (!Name(&attr)) return false;
      if (!attrs.insert(attr).second) return Fail("repeated attribute " + attr);
      SkipSpace();
      if (!Expect("=")) return false;
      SkipSpace();
      if (!Quoted(true, nullptr)) return false;
    }
  }

  // Character data with line ends read as LF, appended to text.
  bool TextChar() {
    char32_t u;
    if (!Char(&u)) return false;
    if (u == '\r') {
      if (!AtEnd() && s_[i_] == '\n') i_++;
      u = '\n';
    }
    AppendUtf8(u, &text);
    return true;
  }

  // The root element and everything in it.
  bool Content() {
    std::vector<std::string> open;
    bool empty = false;
    if (!StartTag(&root, &empty)) return false;
    if (!empty) open.push_back(root);
    while (!open.empty()) {
      if (AtEnd()) return Fail("<" + open.back() + "> not closed");
      if (Starts("</")) {
        i_ += 2;
        std::string name;
        if (!Name(&name)) return false;
        SkipSpace();
        if (!Expect(">")) return false;
        if (name != open.back())
          return Fail("</" + name + "> closes <" + open.back() + ">");
        open.pop_back();
      } else if (Starts("<!--")) {
        if (!Comment()) return false;
      } else if (Starts("<![CDATA[")) {
        i_ += 9;
        while (!Starts("]]>")) {
          if (!TextChar()) return false;
        }
        i_ += 3;
      } else if (Starts("<?")) {
        if (!Pi()) return false;
      } else if (Starts("<!")) {
        return Fail("markup declaration in content");
      } else if (Starts("<")) {
        std::string name;
        if (!StartTag(&name, &empty)) return false;
        if (!empty) open.push_back(name);
      } else if (Starts("&")) {
        char32_t u;
        if (!Reference(&u)) return false;
        AppendUtf8(u, &text);
      } else if (Starts("]]>")) {
        return Fail("']]>' in text");
      } else if (!TextChar()) {
        return false;
      }
    }
    return true;
  }

  const std::string& s_;
  size_t i_ = 0;
  bool utf8_ = true;
  std::string charset_ = "utf-8";
};

#ifdef KALVO_TEST_LIBXML2
std::string& Errors() {
  static std::string errors;
  return errors;
}

#if LIBXML_VERSION >= 21200
void Collect(void*, const xmlError* e) {
#else
void Collect(void*, xmlErrorPtr e) {
#endif
  Errors() += std::to_string(e->line) + ": " + (e->message ? e->message : "");
}
#endif

}  // namespace

bool CheckWellFormed(const std::string& bytes, std::string* why,
                     std::string* root, std::string* text) {
  Checker c(bytes);
  const bool ok = c.Run();
  if (why) *why = c.err;
  if (ok && root) *root = c.root;
  if (ok && text) *text = c.text;
  return ok;
}

#ifdef KALVO_TEST_LIBXML2
bool HaveLibXml2() { return true; }

bool ParseStrict(const std::string& bytes, std::string* why, std::string* root,
                 std::string* text) {
  Errors().clear();
  xmlSetStructuredErrorFunc(nullptr, Collect);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()),
                                "doc.xml", nullptr, XML_PARSE_NONET);
  xmlSetStructuredErrorFunc(nullptr, nullptr);
  bool ok = doc != nullptr && Errors().empty();
  if (why) *why = Errors();
  if (ok && doc) {
    xmlNodePtr r = xmlDocGetRootElement(doc);
    if (root) *root = reinterpret_cast<const char*>(r->name);
    if (text) {
      xmlChar* c = xmlNodeGetContent(r);
      *text = c ? reinterpret_cast<const char*>(c) : "";
      xmlFree(c);
    }
  }
  if (doc) xmlFreeDoc(doc);
  return ok;
}
#else
bool HaveLibXml2() { return false; }

bool ParseStrict(const std::string& bytes, std::string* why, std::string* root,
                 std::string* text) {
  return CheckWellFormed(bytes, why, root, text);
}
#endif

std::string ReadAll(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& host, const std::string& bytes) {
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace xmltest
