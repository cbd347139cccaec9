// Wy_GDataID: the identity of a data set -- its absolute id (the catalogue
// id of the data set it derives from, unsigned 32-bit), its version, and
// the id text built from both (the DATAID form).
//
// The DATAID form, 10 characters: "3" + MM + AAAAA + mm, where MM is the
// version's integer part in two digits, mm its two decimals, and AAAAA the
// characters 3..7 of the absolute id written "%10lu" (right-aligned). An
// absolute id below 10 000 000 therefore puts blanks into AAAAA: 1234567
// gives "12345", 12345 gives "  123". Example: absolute id 1234567890 with
// version 1.05 gives "3014567805".
//
// Ids in PARAM ("%010lu"), in the catalogue ("%10lu") and in the DATAID form
// are read as unsigned 32-bit numbers and compared as numbers, never as text.
// Plain value object, copyable and assignable; nothing throws.

#ifndef MIXTABLE_WY_GDATA_ID_H_
#define MIXTABLE_WY_GDATA_ID_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"

// Length of the DATAID form and its columns.
constexpr size_t kGDataIdLength = 10;
constexpr char kGDataIdLead = '3';      // byte 0
constexpr size_t kGDataIdMajorPos = 1;  // bytes 1..2: MM
constexpr size_t kGDataIdAbsPos = 3;    // bytes 3..7: AAAAA
constexpr size_t kGDataIdAbsLength = 5;
constexpr size_t kGDataIdMinorPos = 8;  // bytes 8..9: mm

class MIXTABLE_API Wy_GDataID {
 public:
  Wy_GDataID() = default;

  // Whether text (blanks around it ignored) is the DATAID form: exactly 10
  // characters, "3" first, digits at 1..2 and 8..9.
  static bool IsDataIdForm(const char* text);

  // One setter for both of its uses, told apart by text:
  //  * the DATAID form (IsDataIdForm): stores the absolute id and the text,
  //    and the version "%d.%02d" of bytes 1..2 and 8..9 ("3010000105"
  //    gives "1.05");
  //  * anything else is a version (Wy_ParseGDataVersion): stores the
  //    absolute id and the version (normalised to two decimals, "1.05"
  //    for " 1.05" or "1.050") and builds the DATAID form from both.
  // False, nothing changed, for an absolute id of 0, a null text, or a text
  // that is neither.
  bool SetData(uint32_t absId, const char* text);

  // Stores a version (as SetData does) and rebuilds the DATAID form from it
  // and the stored absolute id. False, nothing changed, for null or a text
  // that is not a version.
  bool SetVersion(const char* version);

  // The version, two decimals, no leading blank ("1.05"); "" when unset.
  const std::string& GetVersion() const { return m_sVersion; }
  uint32_t GetAbsId() const { return m_nAbsId; }
  // The id text (the DATAID form; "" when unset); copied to out and answered.
  const std::string& GetDataIDString(std::string& out) const;

 private:
  void BuildIdText();

  std::string m_sDataID;
  uint32_t m_nAbsId = 0;
  std::string m_sVersion;
};

#endif  // MIXTABLE_WY_GDATA_ID_H_
