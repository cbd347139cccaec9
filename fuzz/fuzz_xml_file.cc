// fuzz_xml_file: a document of arbitrary bytes reopened by Wy_XmlFile, one
// element appended and closed. A refused document keeps its bytes; a
// well-formed document of the root gives a well-formed document.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "mixtable/wy_sax.h"
#include "mixtable/wy_xml_file.h"

namespace {

class RootOf : public Wy_SAXContentHandlerImpl {
 public:
  std::string root;
  int startElement(const char*, int, const char*, int, const char* q, int len,
                   const Wy_SAXAttributes*) override {
    if (root.empty()) root.assign(q, len);
    return 0;
  }
};

bool WellFormed(const std::string& s, std::string* root) {
  RootOf r;
  int rc = Wy_SAXParseMemory(s.data(), static_cast<int>(s.size()), &r, nullptr,
                             nullptr);
  *root = r.root;
  return rc == 0;
}

std::string Path() {
  static std::string path = [] {
    char dir[] = "/tmp/fuzz_xml_fileXXXXXX";
    if (mkdtemp(dir) == nullptr) abort();
    static std::string made = dir;
    atexit([] {
      unlink((made + "/doc.xml").c_str());
      rmdir(made.c_str());
    });
    return made + "/doc.xml";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  const std::string path = Path();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << in;
  std::string root;
  bool was_good = WellFormed(in, &root) && root == "FRM_REPORT";
  Wy_XmlFile f(3);
  f.SetFileName(path, true);
  Wy_SeqFile* h = f.GetFileHandle();
  if (h != nullptr) {
    h->Write("<N a=\"1\">x</N>\r\n");
    if (f.CloseFileHandle() != 1) abort();
  }
  std::ifstream back(path, std::ios::binary);
  std::ostringstream out;
  out << back.rdbuf();
  if (h == nullptr && out.str() != in) abort();
  if (h != nullptr && was_good) {
    std::string r2;
    if (!WellFormed(out.str(), &r2) || r2 != "FRM_REPORT") abort();
  }
  return 0;
}
