// Wy_Formula: the formula class of the library's clients. It derives from
// HFormula and adds no data; it exchanges the formula with the plain records
// (Wy_Frm, Wy_Base, Wy_Can, Wy_BaseAndCan), resizes it to a can, expands its
// base formula, totals its quantities and adds or subtracts another formula.
//
// Mapping with Wy_BaseAndCan: BasId <-> m_BasId; BaseCode and BaseDescr <->
// m_BasName (set from BaseDescr); Fill_Q, Fill_W, Fill_QC, Fill_WC, Spec_W
// <-> m_Fill_Q, m_Fill_W, m_Fill_QC, m_Fill_WC, m_Spec_W; BaseFrm,
// BaseWeightMode, BaseFrmId, BaseIsDispensable <-> m_BaseFrm,
// m_BaseFrmWeight, m_BaseFrmId, m_BaseDispensable; CanId, CanDescr, Nom_Q,
// CanWeight <-> m_CanId, m_CanName, m_CanNomQ, m_CanWeight.
// Mapping with Wy_Frm: m_Frm <-> text, m_SlaveId <-> m_SlaveId, m_FrmNomQ <->
// m_Nom_Q0, m_FrmCanWeight <-> m_CanWeight0, the units of the current mode
// <-> m_Units (the unit name is not carried).
//
// Nothing here throws; failures are reported by the result. Table sets are
// borrowed for the call only.

#ifndef MIXTABLE_WY_FORMULA_H_
#define MIXTABLE_WY_FORMULA_H_

#include <cstdint>
#include <ctime>
#include <string>

#include "mixtable/export.h"
#include "mixtable/hformula.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frm.h"

class CMixtable;
class CMixtableEx;
class Wy_SeqFile;

// The dispensing times below are passed by address, as the 8-byte time_t of
// the library's build. 32-bit mingw-w64 defaults to 4 bytes: its callers
// define __MINGW_USE_VC2005_COMPAT (the CMake and pkg-config files of the
// library do), as 32-bit MSVC callers have 8 bytes already.
static_assert(sizeof(std::time_t) == 8,
              "MIXTABLE passes 8-byte time_t values; on 32-bit mingw-w64 "
              "define __MINGW_USE_VC2005_COMPAT");

class MIXTABLE_API Wy_Formula : public HFormula {
 public:
  // Trace texts of the two refusals of SetBaseAndCan and SetYCan.
  static constexpr const char* kMismatchCanWeight =
      "Mismatch in CanWeight flags";
  static constexpr const char* kPrefilledCustomFill =
      "Prefilled Cansize in custom Fill level";

  // Fills the record by the mapping. 0 with the record cleared when the
  // formula has text, a can size > 0 and its quantities refer to a can of
  // the other kind (weight/volume); else 1 when m_CanNomQ >= 0.
  int GetBaseAndCan(Wy_BaseAndCan& bc) const;
  // Sets base and can from the record. Refused (0, traced, nothing changed)
  // when the formula has text and (a) the target can size is > 0 and its
  // CanWeight differs from the formula's quantities' can kind, or (b) the
  // formula has a custom fill and the target can is a table can (CanId > 0).
  int SetBaseAndCan(const Wy_BaseAndCan& bc);
  int SetYBas(const Wy_Base& base);  // always 1
  int SetYCan(const Wy_Can& can);    // the refusals of SetBaseAndCan
  // The colorant vector by the mapping; colourName (may be null) receives
  // m_ClrName. Result 1.
  int GetYFrm(Wy_Frm& frm, std::string* colourName) const;
  // SetFrm with the vector's text and reference, then the can reference;
  // m_ClrId becomes clrId when > 0, else 0; m_ClrName is kept when
  // colourName is null. 1 when the vector's m_Nom_Q0 > 0.
  int SetYFrm(const Wy_Frm& frm, const char* colourName, int32_t clrId);
  // The vector resized to the formula's own base and can.
  int GetResizedFrm(Wy_Frm& frm) const;
  // The accumulated "@CNX" text as a vector resized like GetResizedFrm;
  // 0 when there is none.
  int GetResizedCnx(Wy_Frm& frm) const;
  // The base formula of a base made of components as absolute amounts for
  // the current can, in the formula's units. baseText, qty and weight may be
  // null. 0 (vector cleared, outputs 0) when there is no base formula, no
  // fill, no usable units or a conversion fails (a private table set is
  // pointed at m_DataId for the specific weights).
  int GetBaseYFrm(Wy_Frm& frm, yformula* baseText, double* qty,
                  double* weight) const;
  // Total quantity of the formula (plain volume, or weight with byWeight),
  // the base included unless colorantsOnly. -1 when the units are <= 0 or
  // converting the colorants fails (no table set, a colorant or its
  // specific weight missing).
  double CalcolateTotalQuantity(CMixtable* tables, bool byWeight,
                                bool colorantsOnly) const;
  // Adds or subtracts other (resized to this formula's can first when
  // resize). All or nothing: false leaves this formula unchanged.
  bool SumAformula(const Wy_Formula& other, bool resize);
  bool SubtractAformula(const Wy_Formula& other, bool resize);
  // Sample content for layout previews; result 0.
  int DummyFill();

  // --- XML writers (wy_formula_xml.cc) -------------------------------------
  // Each writes the formula as lines "<TAG>content</TAG>\r\n" to file (the
  // handle of a Wy_XmlFile; the document around it is the caller's), every
  // text between tags escaped. shop, dispenser and when may be null (no
  // "<USR>"/"<DIS>" line; the time is now), written in local time. A null
  // table set makes the writer open its own, pointed at m_DataId. ignored
  // is not used. Nothing of the caller's is changed, except that the
  // structured form raises reflectance values below 0.01 to 0.01.
  // Compact form, wrapped in "<FORMULA>"; result 1 (0 for a null file).
  int WriteXML(Wy_SeqFile* file, const char* ignored, const Wy_ShopData* shop,
               const Wy_DispenserData* dispenser, const std::time_t* when,
               CMixtableEx* tables);
  // Structured form, wrapped in "<FORMULA>". withCodes adds the base's
  // CODE; withShop adds "<SHP>"; colorantText (may be null) replaces the
  // encoded "<YFRM>" content (written as given). Result 1.
  int WriteXMLEx(Wy_SeqFile* file, const char* ignored, const Wy_ShopData* shop,
                 const Wy_DispenserData* dispenser, const std::time_t* when,
                 CMixtableEx* tables, bool withCodes, bool withShop,
                 const char* colorantText);

  // The structured lines without the "<FORMULA>" wrapper, after
  // codePercentText written as given (markup of the caller's; null: the
  // "<CMP>" encoding of the formula). Result 1.
  int WriteXMLExCodePercentage(Wy_SeqFile* file, const char* ignored,
                               const Wy_ShopData* shop,
                               const Wy_DispenserData* dispenser,
                               const std::time_t* when, CMixtableEx* tables,
                               bool withCodes, bool withShop,
                               const char* colorantText,
                               const char* codePercentText);
  // WriteXMLEx without dispenser, time (now), table set or flags, then the
  // sample "<DISPENSER>" block and "<CANSLIST>": the cans the current
  // sub-product's mask allows, and "<CANPICT>" with the picture directory
  // ("CANPICTPATH" of PARAM, else "c:\HTMLDATA\CanPictures\"). Result 1.
  int WriteXMLFormulaAndCansList(Wy_SeqFile* file, const Wy_ShopData* shop,
                                 const char* colorantText);

  // The "<RGB>" colour: from the curve when its first value exceeds 0.01,
  // else from m_X10 when X exceeds 0.01. false: no colour. *noClamp (may be
  // null) as for Wy_XYZToRGB.
  bool GetRGB(uint32_t* rgb, bool* noClamp) const;

 private:
  // The formula text encoded for XML: "(id,code,quantity)" per colorant
  // (raw; WriteXML escapes it whole), or "<CMP><ID>..</ID><CODE>..</CODE>
  // <QTY>..</QTY></CMP>" per colorant with every text escaped. A colorant
  // missing from CNTS gets an empty code and makes the result 0; an empty
  // formula text answers 0. The text is appended to.
  int GetXMLDecodedFrm(std::string& text, CMixtableEx* tables) const;
  int GetXMLDecodedFrmEx(std::string& text, CMixtableEx* tables) const;
  int WriteXMLExLines(Wy_SeqFile* file, const Wy_ShopData* shop,
                      const Wy_DispenserData* dispenser,
                      const std::time_t* when, CMixtableEx* tables,
                      bool withCodes, bool withShop, const char* colorantText);
  int DecodeFrm(std::string& text, CMixtableEx* tables, bool structured) const;
  bool AddOrSubAFormula(const Wy_Formula& other, bool resize, bool add);
};

// Resizes the formula to a can of nominal quantity nomQ measured by weight
// (byWeight != 0) or volume; the colour id is cleared. 0 with the formula
// unchanged when the can is refused or the resize fails; else 1. tables is
// not used (may be null).
MIXTABLE_API int ResizeFormulaToCan(Wy_Formula* formula, CMixtable* tables,
                                    double nomQ, int byWeight);

#endif  // MIXTABLE_WY_FORMULA_H_
