// HFormula: everything known about one formula to be dispensed (data set,
// product, colour, base, can, colorant list, units, colorimetric data,
// substrate, shop data, information items, dispenser levels) in one object
// that reads from and writes to a line-oriented text ("@TAG arguments").
//
// The object owns all its data; copies are deep. Nothing here throws.
// Numbers are read and printed with a decimal point whatever the process
// locale. Reading never fails half-way: a malformed argument (a number out
// of its member's range, "nan", "1e999" for an integer member, a row of the
// wrong length) leaves the member as it was. Lines have no length limit,
// except that a line longer than kMaxLine bytes is skipped whole; a NUL byte
// ends a line's content. A text Write produced reads back to the same
// members within the printed precision, except the members never written
// ("@CNX", "@LOG", "@SHL", "@PNC", the units of the other mode, the second
// fractions, flags of "@FRM" while its quantity is 0).

#ifndef MIXTABLE_HFORMULA_H_
#define MIXTABLE_HFORMULA_H_

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "mixtable/export.h"
#include "mixtable/formula_types.h"
#include "mixtable/wy_base_can.h"
#include "mixtable/wy_frminfo.h"
#include "mixtable/wy_records.h"
#include "mixtable/wy_substrate.h"
#include "mixtable/wy_units.h"

class CMixtable;

// The data members of HFormula, in their documented order, with the
// defaults Clear restores.
struct MIXTABLE_API HFormulaMembers {
  static constexpr int kLevels = 6;
  static constexpr int kRfl = 16;

  int m_NLevels = 0;  // level lines held (0..6)
  int32_t m_SlaveId = 0;
  uint32_t m_DataId = 0;
  std::string m_DataIdText;
  int m_WeightMode = 0;  // 1: quantities are weights, 0: volumes
  int m_BaseFrmWeight = 0;
  std::string m_UnitName;
  double m_WgUnit = -1.0, m_WgFraction = -1.0, m_WgFraction2 = 1.0;
  double m_VlUnit = 1.0, m_VlFraction = 1.0, m_VlFraction2 = 1.0;
  int32_t m_PrdId = 0;
  std::string m_PrdName;
  int32_t m_SpdId = 0;
  std::string m_SpdName;
  int32_t m_ClrId = 0;
  std::string m_ClrName;
  int32_t m_BasId = 0;
  std::string m_BasName;
  int32_t m_CanId = 0;
  std::string m_CanName;
  int m_CanWeight = 0;
  int m_FrmCanWeight = 0;
  std::string m_Frm;
  std::string m_Frt;
  std::string m_Cir;
  std::string m_CntLine;  // the last "@CNT" line as read
  std::string m_CnxLine;  // the last "@CNX" line as read
  int32_t m_BaseFrmId = 0;
  std::string m_BaseFrm;
  int m_BaseDispensable = 1;
  int m_BaseLinked = 0;
  Wy_Substrate m_Sub;  // kept by Clear
  std::string m_RemoteSource;
  double m_Fill_Q = 0.0, m_Fill_W = 0.0, m_Fill_QC = 0.0, m_Fill_WC = 0.0;
  double m_Spec_W = 0.0;
  double m_FrmNomQ = 0.0;
  double m_CanNomQ = 0.0;
  double m_Rfl[kRfl] = {};
  double m_X10[3] = {};
  double m_X02[3] = {};
  int m_ShlPos[3] = {-10, -10, -10};
  int m_Pnc = -1;
  std::string m_Log;
  std::string m_Shp;
  std::string m_Cnt;  // "@CNT" lines accumulated, each after one blank
  std::string m_Cnx;
  std::string m_Barcode;
  Wy_FrmInfo m_FrmInfo;
  Wy_FrmInfo m_FrmCmInfo;
  Wy_GdataBitmap m_Levels[kLevels];
  HF_DATASOURCE_TYPE m_Source = HF_SOURCE_MANUAL;
  int m_Lqnt = 0;
};

// Keeps HFormula::InstanceCounter: +1 on every construction (copies
// included), -1 on destruction; assignment leaves it alone.
struct MIXTABLE_API HFormulaInstanceTicket {
  HFormulaInstanceTicket();
  HFormulaInstanceTicket(const HFormulaInstanceTicket&);
  HFormulaInstanceTicket& operator=(const HFormulaInstanceTicket&) {
    return *this;
  }
  ~HFormulaInstanceTicket();
};

class MIXTABLE_API HFormula : public HFormulaMembers {
 public:
  // Lines longer than this (in bytes, without the line end) are skipped.
  static constexpr size_t kMaxLine = size_t{1} << 20;

  // Live HFormula objects in the process.
  static std::atomic<int32_t> InstanceCounter;

  HFormula() { Clear(); }
  HFormula(const HFormula&) = default;
  HFormula& operator=(const HFormula&) = default;
  ~HFormula() = default;

  // Every member back to its default, except m_Sub, which is kept (so a
  // substrate survives reading another text into the same object).
  void Clear();
  void Empty() { Clear(); }

  // ---- accessors (null output pointers are allowed) ----
  uint32_t GetDataId(std::string* text) const;
  void SetDataId(uint32_t id, const char* text);
  int32_t GetPrd(std::string* name) const;
  int32_t GetSpd(std::string* name) const;
  int32_t GetClr(std::string* name) const;
  int32_t GetBas(std::string* name, double* fillQ, double* fillW) const;
  int32_t GetCan(std::string* name, double* nomQ, int* weight) const;
  // 1 when m_Frm is not empty.
  int GetFrm(std::string* text, double* nomQ) const;
  // m_Frt (m_Frm when m_Frt is empty); 1 when m_Frt is not empty.
  int GetFrt(std::string* text, double* nomQ) const;
  int GetCir(std::string* text, double* nomQ) const;
  // 1 when the log is not empty.
  int GetLog(std::string* text) const;
  // Coordinates (3 values) and reflectance curve (16 values); answer 1.
  int GetX10(double* xyz, double* rfl) const;
  int GetX02(double* xyz, double* rfl) const;
  void SetX10(const double* xyz, const double* rfl);
  void SetX02(const double* xyz, const double* rfl);
  // 1 when m_WeightMode is 0.
  int GetVlUnits(double* unit, double* fraction, double* fraction2) const;
  // Answers m_WeightMode.
  int GetWgUnits(double* unit, double* fraction, double* fraction2) const;
  int GetWeightMode() const { return m_WeightMode; }
  void GetShlPos(int* pos3) const;
  void GetPnc(int* pnc) const;
  int GetLqnt() const { return m_Lqnt; }
  void SetLqnt(int n) { m_Lqnt = n; }
  void GetCnt(std::string& line) const { line = m_CntLine; }
  void GetCnx(std::string& line) const { line = m_CnxLine; }
  int32_t GetSub() const { return m_Sub.GetID(); }
  void GetSub(Wy_Substrate& sub) const { sub = m_Sub; }
  // Sets the substrate id when id > 0.
  void SetSub(int32_t id);
  void SetSub(const Wy_Substrate& sub) { m_Sub = sub; }
  HF_DATASOURCE_TYPE GetFormulaSource() const { return m_Source; }
  void SetFormulaSource(HF_DATASOURCE_TYPE s) { m_Source = s; }
  const std::string& GetRemoteSource() const { return m_RemoteSource; }
  void SetRemoteSource(const char* text) { m_RemoteSource = text ? text : ""; }
  Wy_FrmInfo GetFrmInfo() const { return m_FrmInfo; }
  void SetFrmInfo(const Wy_FrmInfo& info) { m_FrmInfo = info; }
  Wy_FrmInfo GetFrmCmInfo() const { return m_FrmCmInfo; }
  void SetFrmCmInfo(const Wy_FrmInfo& info) { m_FrmCmInfo = info; }
  // The level lines held: m_NLevels within 0..kLevels (the member is
  // public, so a value set from outside is bounded here).
  int NDspLevelsStrings() const {
    return m_NLevels < 0 ? 0 : m_NLevels > kLevels ? kLevels : m_NLevels;
  }
  void SetEmptyClr();
  int GeBaseLinkedFlag() const { return m_BaseLinked; }
  void SetBaseLinkedFlag(int flag) { m_BaseLinked = flag ? 1 : 0; }
  const std::string& GetFrmBarcode() const { return m_Barcode; }
  void SetFrmBarcode(const char* text) { m_Barcode = text ? text : ""; }

  // ---- plain setters ----
  // m_ClrId = 0; then m_FrmNomQ = nomQ when > 0, m_ClrName and m_Frm when
  // given, m_ClrId = clrId when > 0. Answers 1 when nomQ > 0.
  int SetFrm(const char* text, double nomQ, const char* clrName, int32_t clrId);
  // Sets m_Frt when given; answers 1.
  int SetFrt(const char* text);
  // Changes nothing; answers 1.
  int SetCir(const char* /*text*/) { return 1; }
  // Mode 0 sets the volume units, 1 the weight units, any other mode
  // ResetUnits(); m_WeightMode = mode in the first two cases.
  void SetUnit(int mode, double unit, double fraction, double fraction2);
  // Unit name emptied, default units, m_WeightMode 0.
  void ResetUnits();
  // flag 0: copies the unit name, the mode and the triple of the current
  // mode (0.0 each for a mode other than 0 or 1) into units; answers 1.
  // Null units or flag != 0: 0.
  int UpdateUnits(Wy_Units* units, int flag) const;
  // flag != 0: m_Shp = "%s|%s|%s|%s|%ld|%s|%s" of shop lines 1..3, PC id,
  // progressive number, user id and user name (at most 254 characters).
  // flag 0: shop cleared, then the same seven fields from the '|' items of
  // m_Shp (missing items stay empty). Null shop: 0; else 1.
  int UpdateShopData(Wy_ShopData* shop, int flag);

  // 0: no quantities and a colour referenced; 1: no quantities; 2:
  // quantities, units unknown; 3: quantities, units and a colour or a can
  // size; 4: otherwise.
  int Status() const;

  // Diagnostic listing of all members (to f; null: standard output), and
  // the same line by line to a callback.
  std::string DumpText() const;
  void CDump(FILE* f) const;
  void Dump(Wy_DumpLineFn line, void* user) const;

  // ---- text ----
  // Clear, then read the text from file (from its current position to
  // "@END" or the end). 1 when a recognised line yielded something before
  // "@END"; 0 otherwise or for a null file.
  int TxtRead(FILE* file);
  // The same from text[0..len).
  int TxtReadText(const char* text, size_t len);
  // Writes the object as text; cntText (may be null) replaces the formula
  // text of "@FRM" and the "@CNT" line. Base fills <= 0 become 0 in the
  // object. 1, or 0 for a null file (traced) or a write error.
  int Write(FILE* file, const char* cntText);
  // The text Write writes.
  std::string WriteText(const char* cntText);
  // Writes to the file at path (truncated) without a colorant text; 0 when
  // it cannot be opened or written.
  int Py_Write(const char* path, const char* cntText);
  // TxtRead, then, when that succeeded, FillUp on a table set of m_DataId
  // (CMixtable::SetDataId; destroyed before returning, so no table stays
  // open). Answers the TxtRead result; LastCntMessage() tells whether the
  // colorant list was taken.
  int Read(FILE* file);
  // Read from the file at path; 0 when it cannot be opened.
  int Py_Read(const char* path);

  // ---- resolution against the tables of a data set ----
  // Completes the formula from the tables of `tables` (FillUp) and closes
  // every table of the set: names from ids, ids from names, units, base,
  // can, formula text, reflectance and coordinates. What cannot be found is
  // reset (ids 0, an unknown formula id makes the formula manual). For a
  // set the caller made (CMixtable::SetDataDir, a work area); its positions
  // are lost. 1, or 0 for a null table set.
  int Resolve(CMixtable* tables);

  // Table-driven setters. Those marked "private" work on a copy of `tables`
  // (same data id and data directory, every table closed) that is
  // destroyed before returning, so the caller's tables stay as they were.
  //
  // Product (private): ids and names cleared, then, unless tables is null
  // or exactly one id is <= 0, units reset and read from the product with
  // its id and name, then the sub-product's id and name. 1 only when the
  // product and the sub-product were found.
  int SetPrd(CMixtable* tables, int32_t prdId, int32_t spdId);
  // Base (private): id, name and fills cleared; with a product or
  // sub-product set both must be found first; then name, id, fills and the
  // base formula of base basId. 1 when the base was found.
  int SetBas(CMixtable* tables, int32_t basId);
  // Can (CANS opened temporarily, its state restored): id, name, nominal
  // quantity and weight flag cleared, then read from can canId. 1 when
  // found.
  int SetCan(CMixtable* tables, int32_t canId);
  // Formula (private): m_ClrId = clrId, the colour name, the formula text,
  // its can quantity, the units, reflectance and coordinates cleared; then,
  // with tables, the formula is read as HndlClr does and its answer given
  // (0 for an id that does not exist: the formula is then manual). 1
  // without tables.
  int SetClr(CMixtable* tables, int32_t clrId);
  // m_DataId = the table set's data id, m_DataIdText = text (or empty). 0
  // for a null table set.
  int SetDataId(CMixtable* tables, const char* text);

  // Plain setters, no tables. Product: the names that are not null, the
  // ids that are > 0. Base: manual base of that name (id, base formula and
  // its id cleared, dispensable), fills when > 0. Can: custom can of that
  // name (id 0), nominal quantity when > 0, weight flag when >= 0. Answer 1.
  int SetPrd(const char* name, const char* spdName, int32_t prdId,
             int32_t spdId);
  int SetBas(const char* name, double fillQ, double fillW);
  int SetCan(const char* name, double nomQ, int weight);

  // ---- colour keys, correction difference, extended status ----
  // Splits m_ClrName ("KEY1|KEY2|KEY3|COMMENT|") into its keys. Every
  // output may be null; the given ones are emptied first. The comment is
  // assigned only when not empty; a name without '|' is key1 whole.
  // Answers 1.
  int ClrTok(std::string* key1, std::string* key2, std::string* key3,
             std::string* comment) const;
  // The correction difference: what has to be added to m_Frm to obtain
  // m_Frt, in the order of m_Frt, each quantity printed with 13 characters
  // ("0.50000000000"). *nomQ (may be null) receives m_FrmNomQ. Answers 1
  // (text empty when m_Frt is empty, m_Frt when m_Frm is empty); 0 (text
  // empty) when a text is malformed, m_Frm has no pair, m_Frt has fewer
  // pairs, lacks a colorant of m_Frm or holds less of one. A null text
  // answers 1.
  int GetFrd(std::string* text, double* nomQ) const;
  // Bits of what the formula lacks (see kStatus* below). kind 1 examines
  // m_Frt, kind 2 the correction difference, any other kind m_Frm. The mask
  // bits are examined only when product and sub-product are set and the
  // formula has a base, a can or a pair: on a private table set, a closed
  // copy of tables when given, else one made for m_DataId, the
  // sub-product's masks are asked about the ids as they stand (id 0
  // included). Nothing of tables is touched.
  int StatusEx(int kind, CMixtable* tables = nullptr) const;
  static constexpr int kStatusNoBase = 0x1;
  static constexpr int kStatusNoCan = 0x2;
  static constexpr int kStatusNoClr = 0x4;
  static constexpr int kStatusBaseMasked = 0x8;
  static constexpr int kStatusCanMasked = 0x10;
  static constexpr int kStatusCntMasked = 0x20;
  static constexpr int kStatusNoPair = 0x40;
  static constexpr int kStatusNoQuantity = 0x80;
  static constexpr int kStatusMalformed = 0x100;
  static constexpr int kStatusBaseNoQuantity = 0x200;
  static constexpr int kStatusBaseNoPair = 0x400;
  static constexpr int kStatusBaseMalformed = 0x800;

  // ---- capture from and positioning of a table set (hformula_frieze.cc) ----
  // Clears the formula (m_Sub kept) and captures it from the current records
  // of tables: data set, product and sub-product, the formula record of FRM
  // or ARCHIVE with its base, can, reflectance and coordinates, units. An
  // archive record whose product or sub-product differs from the selected
  // ones takes them from a private table set (a closed copy of tables).
  // Tables opened here are closed again; the positions of tables are not
  // changed. 1, or 0 for a null table set.
  int Frieze(CMixtable* tables);
  // Closes every table of tables, points it at m_DataId (when it is at
  // another id), and opens and positions PRODUCTS, SUBPRODS, FRM (ARCHIVE
  // for a custom formula) with FRM_REFL, BASES and CANS on the formula's
  // ids. A record that cannot be found leaves its table closed (FRM_REFL
  // is left past its end). 1 when every id that is set was found; 0
  // otherwise or for a null table set.
  int Defrieze(CMixtable* tables);

  // ---- colorant lists ----
  // The messages of ParseCntString, exactly as they read (padded with blanks
  // to 20 characters where they are shorter).
  static constexpr const char* kCntSyntaxError = "Syntax error.       ";
  static constexpr const char* kCntWrongTokens = "Wronk tokens.       ";
  static constexpr const char* kCntWrongIdentifier = "Wrong identifier(s).";
  static constexpr const char* kCntWrongFormula = "Wrong formula       ";
  static constexpr const char* kCntNoConversion = "Could not convert to Wy_Frm";

  // Parses a colorant list ("#12 10.5 #7 3", "@RPC RED %40 \"OXIDE Y\" %60")
  // against the colorant table of tables (opened temporarily, its previous
  // state restored; null tables: names never match). In the units mode the
  // pairs replace m_Frm ("12,10.5,7,3", 3 decimals). 1 on success with a
  // non-empty m_Frm; 0 otherwise, m_Frm unchanged, LastCntMessage() telling
  // why. text may be null (an empty list).
  int ParseCntString(CMixtable* tables, const char* text);
  // The message of the last failed ParseCntString; empty after a success.
  const std::string& LastCntMessage() const { return cnt_message_; }

 protected:
  // Resolution (see Resolve). For a standard formula (source standard or 8)
  // with an id, what the tables supply is cleared first; then the handlers
  // run in this order, their answers not combined. Every handler closes the
  // tables it opened on every path. Answers 1 (0 for null tables).
  int FillUp(CMixtable* tables);
  // Description of m_DataId from the catalogue; 0 (text emptied) when the
  // id is not catalogued.
  int HndlGdt(CMixtable* tables);
  // Product and sub-product by id or by name (a single-product data set
  // takes a lone id as the sub-product's); ids 0 when not found.
  int HndlPrd(CMixtable* tables);
  // The weight mode of the product, when the formula has an id or the mode
  // is unknown (-1).
  int HndlWgh(CMixtable* tables);
  // The units of the product, unless a formula without id has usable ones.
  int HndlUnt(CMixtable* tables);
  // Base by id or name at the sub-product's level, with its base formula.
  int HndlBas(CMixtable* tables);
  // The formula record (FRM, or ARCHIVE for a custom formula): colour keys,
  // text, base, can quantity, reflectance, coordinates. An id that does not
  // exist makes the formula manual (answer 0).
  int HndlClr(CMixtable* tables);
  // The target can; m_CanId 0 unless found.
  int HndlCan(CMixtable* tables);
  // The accumulated colorant list (whole) when there is no formula yet;
  // m_Cnt is emptied.
  int HndlCnt(CMixtable* tables);
  // Shelf positions from the can's heights and flags.
  int HndlShl(CMixtable* tables);
  // A pouring count of -1 becomes 1.
  int HndlPnc(CMixtable* tables);
  // These have nothing to resolve; they answer 1.
  int HndlCnx(CMixtable*) { return 1; }
  int HndlFrm(CMixtable*) { return 1; }
  int HndlRfl(CMixtable*) { return 1; }
  int HndlX02(CMixtable*) { return 1; }
  int HndlX10(CMixtable*) { return 1; }

  // BASESFRM record m_BaseFrmId (opened temporarily): base formula and its
  // weight mode, dispensable when m_BasId is set; m_BaseFrmId 0 when not
  // found.
  void LoadBaseFrm(CMixtable* tables);

 private:
  HFormulaInstanceTicket ticket_;
  std::string cnt_message_;
};

#endif  // MIXTABLE_HFORMULA_H_
