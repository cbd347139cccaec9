// CWy_Batch: one stored batch of a dispensed formula (left-over paint kept
// on a shelf): its ids, name, quantity, location, dates, reflectance and
// label code, each with a "required" flag that ValidateBatch checks.
//
// Dates are `tm` values with the full year in tm_year (2026, not 126) and
// the month counted from 1 in tm_mon; a new batch holds today's local date
// and time in all three. Every setter stores its value and marks the batch
// modified when the value differs from the old one (dates compare day,
// month and year only). The object owns all its data; copies are deep.
// Nothing here throws.

#ifndef MIXTABLE_WY_BATCH_H_
#define MIXTABLE_WY_BATCH_H_

#include <cstdint>
#include <ctime>
#include <string>

#include "mixtable/export.h"

class MIXTABLE_API CWy_Batch {
 public:
  CWy_Batch();
  CWy_Batch(const CWy_Batch&) = default;
  CWy_Batch& operator=(const CWy_Batch&) = default;
  virtual ~CWy_Batch();

  // ---- values ----
  int32_t GetBatchAbsID() const { return m_AbsID; }
  void SetBatchAbsID(int32_t id);
  int GetBatchIndex() const { return m_Index; }
  void SetBatchIndex(int index);
  const std::string& GetBatchName() const { return m_Name; }
  void SetBatchName(const std::string& name);
  // The reflectance curve as stored: 16 values "%.3lf;". Setting it also
  // dates the reflectance today (ReflSettingDate).
  const std::string& GetFrmRefl() const { return m_FrmRefl; }
  void SetFrmRefl(const std::string& refl);
  // The label code printed for the batch.
  const std::string& GetFrmBarCode() const { return m_BarCode; }
  void SetFrmBarCode(const std::string& code);
  const std::string& GetLocationX() const { return m_LocX; }
  void SetLocationX(const std::string& x);
  const std::string& GetLocationY() const { return m_LocY; }
  void SetLocationY(const std::string& y);
  const std::string& GetLocationZ() const { return m_LocZ; }
  void SetLocationZ(const std::string& z);
  const std::string& GetQuality() const { return m_Quality; }
  void SetQuality(const std::string& quality);
  const std::string& GetComment() const { return m_Comment; }
  void SetComment(const std::string& comment);
  double GetQuantity() const { return m_Quantity; }
  void SetQuantity(double quantity);
  // True: the quantity is a weight; false: a volume.
  bool GetWeightMode() const { return m_WeightMode; }
  void SetWeightMode(bool weight);
  const tm& GetProdDate() const { return m_ProdDate; }
  void SetProdDate(const tm& date);
  const tm& GetExpDate() const { return m_ExpDate; }
  void SetExpDate(const tm& date);
  const tm& GetReflSettingDate() const { return m_ReflDate; }
  void SetReflSettingDate(const tm& date);

  // ---- required flags (all false initially) ----
  void RequireBatchAbsID(bool on) { m_Req.absId = on; }
  void RequireBatchIndex(bool on) { m_Req.index = on; }
  void RequireBatchName(bool on) { m_Req.name = on; }
  void RequireWeightMode(bool on) { m_Req.weightMode = on; }
  void RequireComment(bool on) { m_Req.comment = on; }
  void RequireExpDate(bool on) { m_Req.expDate = on; }
  void RequireProdDate(bool on) { m_Req.prodDate = on; }
  void RequireReflSettingDate(bool on) { m_Req.reflDate = on; }
  void RequireFrmBarCode(bool on) { m_Req.barCode = on; }
  void RequireFrmRefl(bool on) { m_Req.refl = on; }
  void RequireLocationX(bool on) { m_Req.locX = on; }
  void RequireLocationY(bool on) { m_Req.locY = on; }
  void RequireLocationZ(bool on) { m_Req.locZ = on; }
  void RequireQuality(bool on) { m_Req.quality = on; }
  void RequireQuantity(bool on) { m_Req.quantity = on; }

  // ---- conversion, flags ----
  // Quantity by weight = quantity by volume * factor (0: unknown).
  double GetToWeightConversionFactor() const { return m_ToWeight; }
  void SetToWeightConversionFactor(double factor) { m_ToWeight = factor; }
  // Whether the batch takes the formula's reflectance when it is inserted
  // into a stored formula (CWy_FormulaInv::InsertBatch).
  bool UseFormulaRefl() const { return m_UseFormulaRefl; }
  void SetUseFormulaRefl(bool on) { m_UseFormulaRefl = on; }
  bool IsModified() const { return m_Modified; }
  void SetIsModify(bool modified) { m_Modified = modified; }

  // False when a required value is missing: absolute id or index 0, a date
  // whose day, month and year are all negative, an empty text, a quantity
  // of 0. The weight mode is never checked. True otherwise.
  bool ValidateBatch() const;
  // Converts the quantity to weight (toWeight) or to volume with the
  // to-weight factor and switches the mode. True at once when the batch is
  // already in that mode; false (nothing changed) when the factor is 0.
  bool ConvertQuantity(bool toWeight);

  // Today's local date and time in the batch's date convention.
  static tm Today();

 private:
  struct Required {
    bool absId = false, index = false, name = false, weightMode = false;
    bool comment = false, expDate = false, prodDate = false;
    bool reflDate = false, barCode = false, refl = false;
    bool locX = false, locY = false, locZ = false, quality = false;
    bool quantity = false;
  };

  void SetText(std::string& member, const std::string& value);
  void SetDate(tm& member, const tm& value);

  int32_t m_AbsID = 0;
  int m_Index = 0;
  std::string m_Name, m_FrmRefl, m_BarCode, m_LocX, m_LocY, m_LocZ;
  std::string m_Quality, m_Comment;
  double m_Quantity = 0.0;
  bool m_WeightMode = false;
  tm m_ProdDate{}, m_ExpDate{}, m_ReflDate{};
  double m_ToWeight = 0.0;
  bool m_UseFormulaRefl = false;
  bool m_Modified = false;
  Required m_Req;
};

#endif  // MIXTABLE_WY_BATCH_H_
