// Wy_FrmInfo: a numbered list of (label, value) texts attached to a formula,
// and Wy_FrmInfoData: the files of formula codes and validity with their
// default settings. Nothing here throws.

#ifndef MIXTABLE_WY_FRMINFO_H_
#define MIXTABLE_WY_FRMINFO_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"

class MIXTABLE_API Wy_FrmInfo {
 public:
  // n <= 0: answers 0, nothing changes. n <= GetNum(): the entry at index
  // n - 1 becomes (n, label, value). Otherwise (n, label, value) is
  // appended. Null texts count as empty. Answers 1 (0 when memory is short).
  int AddInfo(int n, const char* label, const char* value);
  // The number of entries.
  int GetNum() const { return static_cast<int>(nums_.size()); }
  // The number, label and value at index i; 0 or "" for an index that is
  // negative or beyond the end.
  uint32_t GetNum(int i) const;
  std::string GetLabel(int i) const;
  std::string GetValue(int i) const;
  void Clear();

 private:
  std::vector<uint32_t> nums_;
  std::vector<std::string> labels_;
  std::vector<std::string> values_;
};

// Where a client program finds the formula codes and validity files.
struct MIXTABLE_API Wy_FrmInfoData {
  static constexpr const char kCodesFile[] = "FrmCodes.xml";
  static constexpr const char kValidFile[] = "FrmValid.txt";

  const char* m_CodesFileName = kCodesFile;
  const char* m_ValidFileName = kValidFile;
  Wy_FrmInfo m_Info;
  int m_Param1 = 0;
  int m_Param2 = 0;
  std::string m_Text;       // not interpreted by the library
  std::string m_CodesPath;  // path of the formula codes file
  std::string m_ValidPath;  // path of the validity file
  std::string m_YesText;    // the word for "yes"
  std::string m_NoText;     // the word for "no"
  // Defaults: the two files in the directory of the running program,
  // "YES" and "NO".
  std::string m_DefCodesPath;
  std::string m_DefValidPath;
  std::string m_DefYes = "YES";
  std::string m_DefNo = "NO";

  Wy_FrmInfoData();
  // Copies the four defaults into m_CodesPath .. m_NoText, each only when it
  // is empty unless force is true.
  void SetDefaultPrgParams(bool force);
  // Everything but the defaults back to the constructed state.
  void Clear();
};

#endif  // MIXTABLE_WY_FRMINFO_H_
