// mixtool xml check and repair.

#include "xml_command.h"

#include <memory>
#include <vector>

#include "mixtable/wy_sax.h"
#include "mixtable/wy_seq_file.h"
#include "mixtable/wy_xml_text.h"
#include "platform/env.h"

namespace mixtool {

namespace {

// The root, the top-level element names and the first error of a parse.
class Survey : public Wy_SAXContentHandlerImpl, public Wy_SAXErrorHandlerImpl {
 public:
  std::string root;
  std::vector<std::pair<std::string, int>> top;
  int depth = 0;
  int error_line = 0;
  int error_code = 0;
  std::string error_text;

  int startElement(const char*, int, const char*, int, const char* q, int qLen,
                   const Wy_SAXAttributes*) override {
    std::string name(q, qLen);
    if (depth == 0) {
      root = name;
    } else if (depth == 1) {
      bool found = false;
      for (auto& [n, c] : top)
        if (n == name) c++, found = true;
      if (!found) top.emplace_back(name, 1);
    }
    depth++;
    return 0;
  }
  int endElement(const char*, int, const char*, int, const char*,
                 int) override {
    depth--;
    return 0;
  }
  int error(const Wy_SAXLocator* l, const char* m, int code) override {
    return Note(l, m, code);
  }
  int fatalError(const Wy_SAXLocator* l, const char* m, int code) override {
    return Note(l, m, code);
  }

 private:
  int Note(const Wy_SAXLocator* l, const char* m, int code) {
    if (error_code == 0) {
      error_line = l->getLineNumber();
      error_code = code;
      error_text = m;
      while (!error_text.empty() &&
             (error_text.back() == '\n' || error_text.back() == '\r'))
        error_text.pop_back();
    }
    return 0;
  }
};

bool ReadAll(const std::string& doc, std::string* bytes) {
  std::unique_ptr<platform::File> f;
  platform::Env* env = platform::Env::Current();
  if (!env->OpenFile(doc, platform::OpenMode::kReadOnly, &f).ok()) return false;
  uint64_t size = 0;
  if (!f->Size(&size).ok() || size > 0x7FFFFFFF) return false;
  bytes->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  return f->ReadAt(0, bytes->data(), bytes->size(), &got).ok() && got == size;
}

std::string DeclaredCharSet(const std::string& bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) return "";
  size_t end = bytes.find("?>");
  size_t at = bytes.find("encoding", 0);
  if (end == std::string::npos || at == std::string::npos || at > end)
    return "";
  size_t q = bytes.find_first_of("\"'", at);
  if (q == std::string::npos || q > end) return "";
  size_t e = bytes.find(bytes[q], q + 1);
  if (e == std::string::npos || e > end) return "";
  return bytes.substr(q + 1, e - q - 1);
}

bool SameName(std::string a, std::string b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (tolower(static_cast<unsigned char>(a[i])) !=
        tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Scans markup up to limit: the root's name and the offset just after the
// last complete top-level element (or after the root start tag). Answers
// false when no root start tag is found.
bool LastTopLevelEnd(const std::string& s, size_t limit, std::string* root,
                     size_t* cut) {
  int depth = 0;
  size_t i = 0;
  bool have_root = false;
  while (i < limit) {
    size_t lt = s.find('<', i);
    if (lt == std::string::npos || lt >= limit) break;
    size_t end;
    if (s.compare(lt, 4, "<!--") == 0) {
      end = s.find("-->", lt + 4);
      if (end != std::string::npos) end += 3;
    } else if (s.compare(lt, 9, "<![CDATA[") == 0) {
      end = s.find("]]>", lt + 9);
      if (end != std::string::npos) end += 3;
    } else if (s.compare(lt, 2, "<?") == 0) {
      end = s.find("?>", lt + 2);
      if (end != std::string::npos) end += 2;
    } else {
      // A tag: ">" outside quoted attribute values.
      char quote = 0;
      end = std::string::npos;
      for (size_t j = lt + 1; j < s.size(); j++) {
        if (quote) {
          if (s[j] == quote) quote = 0;
        } else if (s[j] == '"' || s[j] == '\'') {
          quote = s[j];
        } else if (s[j] == '>') {
          end = j + 1;
          break;
        }
      }
      if (end != std::string::npos && end <= limit && s[lt + 1] != '!') {
        bool closing = s[lt + 1] == '/';
        bool empty = s[end - 2] == '/';
        if (closing) {
          depth--;
          if (depth == 1) *cut = end;
          if (depth < 1) break;  // the root's own end
        } else if (empty) {
          if (depth == 1) *cut = end;
          if (depth == 0) break;
        } else {
          if (depth == 0) {
            size_t n = lt + 1;
            while (n < end - 1 && !isspace(static_cast<unsigned char>(s[n])))
              n++;
            *root = s.substr(lt + 1, n - lt - 1);
            *cut = end;
            have_root = true;
          }
          depth++;
        }
      }
    }
    if (end == std::string::npos || end > limit) break;
    i = end;
  }
  return have_root;
}

}  // namespace

CLI::App* AddXmlCommand(CLI::App& app, XmlArgs* args) {
  CLI::App* xml = app.add_subcommand("xml", "XML report and history documents");
  xml->require_subcommand(1);
  args->check = xml->add_subcommand(
      "check", "character set, root, top-level elements and first error");
  args->check->add_option("doc", args->doc, "the document")->required();
  args->repair = xml->add_subcommand(
      "repair", "cut back to the last complete element and close the root");
  args->repair->add_option("doc", args->doc, "the document")->required();
  return xml;
}

int Xml(const XmlArgs& args, std::ostream& out, std::ostream& err) {
  if (args.repair && args.repair->parsed())
    return XmlRepair(args.doc, out, err);
  return XmlCheck(args.doc, out, err);
}

namespace {

// The parser could not run at all (no memory, or a build without an XML
// parser: the Windows build).
int CannotParse(const std::string& doc, std::ostream& err) {
  err << "mixtool: cannot parse " << doc << " (no XML parser at hand)\n";
  return 1;
}

}  // namespace

int XmlCheck(const std::string& doc, std::ostream& out, std::ostream& err) {
  std::string bytes;
  if (!ReadAll(doc, &bytes)) {
    err << "mixtool: cannot read " << doc << "\n";
    return 1;
  }
  std::string declared = DeclaredCharSet(bytes);
  std::string machine = wy_GetXMLCharSet();
  out << "charset " << (declared.empty() ? "(none)" : declared) << " machine "
      << machine << "\n";
  Survey s;
  int r = Wy_SAXParseMemory(bytes.data(), static_cast<int>(bytes.size()), &s,
                            nullptr, &s);
  if (r == kWySaxCannotRead) return CannotParse(doc, err);
  out << "root " << (s.root.empty() ? "(none)" : s.root) << "\n";
  int n = 0;
  for (auto& t : s.top) n += t.second;
  out << "elements " << n << "\n";
  for (auto& [name, count] : s.top) out << "  " << name << " " << count << "\n";
  if (r == 0) {
    out << "well-formed\n";
  } else {
    out << "error line " << s.error_line << ": " << s.error_text << " (code "
        << r << ")\n";
  }
  if (r != 0) {
    err << "mixtool: " << doc << " is not well-formed\n";
    return 1;
  }
  if (!SameName(declared, machine)) {
    err << "mixtool: " << doc << " declares another character set than "
        << machine << "\n";
    return 1;
  }
  return 0;
}

int XmlRepair(const std::string& doc, std::ostream& out, std::ostream& err) {
  std::string bytes;
  if (!ReadAll(doc, &bytes)) {
    err << "mixtool: cannot read " << doc << "\n";
    return 1;
  }
  Survey s;
  const int r = Wy_SAXParseMemory(bytes.data(), static_cast<int>(bytes.size()),
                                  &s, nullptr, &s);
  if (r == 0) {
    out << "nothing to repair\n";
    return 0;
  }
  // Without a parse there is no error line to cut back to: a sound document
  // would lose its end. Nothing is written.
  if (r == kWySaxCannotRead) return CannotParse(doc, err);
  // Everything from the start of the error's line on is suspect.
  size_t limit = bytes.size();
  if (s.error_line > 0) {
    size_t at = 0;
    for (int line = 1; line < s.error_line && at != std::string::npos; line++) {
      at = bytes.find('\n', at);
      if (at != std::string::npos) at++;
    }
    if (at != std::string::npos) limit = at;
  }
  std::string root;
  size_t cut = 0;
  if (!LastTopLevelEnd(bytes, limit, &root, &cut) || root.empty()) {
    err << "mixtool: " << doc << " has no root element to keep\n";
    return 1;
  }
  // The line break after the kept element stays.
  while (cut < limit && (bytes[cut] == '\r' || bytes[cut] == '\n')) cut++;
  platform::Env* env = platform::Env::Current();
  std::string copy = doc + ".bak";
  if (!env->CopyFile(doc, copy, false).ok()) {
    err << "mixtool: cannot copy " << doc << " to " << copy << "\n";
    return 1;
  }
  Wy_SeqFile f;
  if (!f.Open(doc, false) || !f.LockExclusive(30000) || !f.Seek(cut) ||
      !f.Write("</" + root + ">") || !f.SetLength(f.GetPosition())) {
    err << "mixtool: cannot write " << doc << "\n";
    return 1;
  }
  f.Close();
  out << "kept " << cut << " bytes, copy in " << copy << "\n";
  return XmlCheck(doc, out, err);
}

}  // namespace mixtool
