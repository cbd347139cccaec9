// Wy_Formula::WriteXMLFormulaAndCansList: the structured formula, a sample
// dispenser block for layout previews and the list of the cans the formula's
// sub-product allows, with the directory of the can pictures.

#include <cstdio>
#include <new>
#include <string>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_formula.h"
#include "mixtable/wy_htmltag.h"
#include "mixtable/wy_mask.h"
#include "mixtable/wy_seq_file.h"
#include "mixtable/wy_xml_text.h"
#include "xbase32/wdbase.h"

namespace {

// The sample dispenser: one line of these pieces inside "<DISPENSER>". The
// second colorant is closed here too (left open, the document would not
// parse).
constexpr const char* kSampleDispenserStart =
    "<DISPENSER id=\"1\" descr=\"New dispenser\">\r\n";
constexpr const char* kSampleDispenserLine =
    "<CNT id=\"1\" descr=\"BS-MAGENTA\" rgb=\"#8B008B\" specw=\"1000.0\" "
    "type=\"s\">\r\n"
    "<CIRCUIT id=\"1\" res_w=\"0.0\" cur_q=\"0.58\" max_q=\"3.00\" "
    "res_q=\"0.6\" unit=\"qt\" />\r\n"
    "<CIRCUIT id=\"2\" res_w=\"0.0\" cur_q=\"1.58\" max_q=\"3.00\" "
    "res_q=\"0.1\" unit=\"qt\" />\r\n"
    "</CNT>\r\n"
    "<CNT id=\"2\" descr=\"XS-BLACK\" rgb=\"#B8860B\" specw=\"1200.0\" "
    "type=\"w\">\r\n"
    "<CIRCUIT id=\"3\" res_w=\"0.0\" cur_q=\"2.58\" max_q=\"3.00\" "
    "res_q=\"0.1\" unit=\"qt\" />\r\n"
    "</CNT>\r\n";

constexpr const char* kCanPictParam = "CANPICTPATH";
constexpr const char* kDefaultCanPictDir = "c:\\HTMLDATA\\CanPictures\\";
constexpr size_t kMaxCanDescr = 127;
constexpr size_t kMaxParamValue = 63;

std::string Esc(const std::string& text) {
  std::string out;
  return Wy_TranslateStringForXml(text, out);
}

}  // namespace

int Wy_Formula::WriteXMLFormulaAndCansList(Wy_SeqFile* file,
                                           const Wy_ShopData* shop,
                                           const char* colorantText) {
  if (file == nullptr) return 0;
  WriteXMLEx(file, nullptr, shop, nullptr, nullptr, nullptr, false, false,
             colorantText);
  try {
    {
      Wy_htmltag dispenser(file, kSampleDispenserStart);
      file->Write(kSampleDispenserLine);
    }
    Wy_htmltag list(file, "<CANSLIST>\r\n");
    CMixtableEx ts;
    CMixtable& t = ts.Mixtable();
    Defrieze(&t);
    CWymask mask;
    Wdbase* prd = t.Handle(Y_PRODUCTS);
    Wdbase* spd = t.Handle(Y_SUBPRODS);
    if (prd != nullptr && spd != nullptr && prd->IsOpen(0) && spd->IsOpen(0))
      mask.Fill("CA", &t);
    Wdbase* cans = t.Handle(Y_CANS);
    uint32_t state = 0;
    if (cans != nullptr && t.TmpOpen(cans, &state)) {
      for (int ok = cans->Top(); ok && !cans->Eof(); ok = cans->Next()) {
        if (cans->Deleted()) continue;
        const int32_t id = cans->ReadLong("ID");
        if (!mask.Inspect(id)) continue;
        const char* d = cans->Read("DESCR", 1, 1);
        std::string descr = d != nullptr ? d : "";
        if (descr.size() > kMaxCanDescr) descr.resize(kMaxCanDescr);
        const bool weight = cans->ReadBool("CAN_WEIGHT") != 0;
        char nums[96];
        snprintf(nums, sizeof nums, "<NOMQ>%.4lf</NOMQ><WGH>%1d</WGH>",
                 cans->ReadDouble("NOM_Q"), weight ? 1 : 0);
        file->Write("<CAN><ID>" + std::to_string(id) + "</ID><DSC>" +
                    Esc(descr) + "</DSC>" + nums + "</CAN>\r\n");
      }
    }
    if (cans != nullptr) t.TmpClose(cans, &state);
    std::string dir, comment;
    if (!ts.GetParam(kCanPictParam, dir, comment)) dir.clear();
    if (dir.size() > kMaxParamValue) dir.resize(kMaxParamValue);
    if (dir.empty()) dir = kDefaultCanPictDir;
    if (dir.back() != '\\') dir += '\\';
    Wy_htmltag pict(file, "<CANPICT>\r\n");
    file->Write(Esc(dir));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}
