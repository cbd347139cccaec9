// Wy_FVersDescr: the version and description of a data set, as its
// one-line file FVERS.DAT at the data directory root holds them.
//
// FVERS.DAT (OEM code page, one line, no line end written):
//   bytes 0..5   the version as "%-5.2f " (two decimals, left-aligned in
//                five characters, then one blank)
//   bytes 6..31  the description as "%-26.26s" (cut or padded to 26)
// Trailing blanks of the whole line are removed before it is written, so
// version 1 with an empty description is the four characters "1.00". A
// reader takes the first line (at most kFVersMaxLine characters) and removes
// every carriage return and line feed.
//
// A version is a number from 0 to below kFVersVersionLimit: "%-5.2f" of
// 99.995 or more needs six characters and would shift the description.
// Plain value object, copyable; nothing throws.

#ifndef MIXTABLE_WY_FVERS_DESCR_H_
#define MIXTABLE_WY_FVERS_DESCR_H_

#include <string>

#include "mixtable/export.h"

// The file's name at the data directory root.
constexpr const char* kFVersFileName = "FVERS.DAT";
// Longest line a reader takes (the rest of a longer line is ignored).
constexpr size_t kFVersMaxLine = 4095;
// Columns of the line.
constexpr size_t kFVersVersionWidth = 6;  // "%-5.2f " = 5 + one blank
constexpr size_t kFVersDescrWidth = 26;   // "%-26.26s"
constexpr const char* kFVersVersionFormat = "%-5.2f ";
constexpr const char* kFVersDescrFormat = "%-26.26s";
// Versions must stay below this value (see above).
constexpr double kFVersVersionLimit = 99.995;
// The version of a line that carries none.
constexpr const char* kFVersDefaultVersion = "1.00";

// Whether text (blanks around it ignored) is a plain decimal number
// ("12", "1.05", ".5") from 0 to below kFVersVersionLimit; *value (may be
// null) receives it.
MIXTABLE_API bool Wy_ParseGDataVersion(const char* text, double* value);

// The line "%-5.2f " + "%-26.26s" with trailing blanks removed; an empty
// string for a version outside 0..<kFVersVersionLimit. Line ends in descr
// become blanks, so the result is always one line, and its leading blanks
// are dropped (a reader drops them), so reading and writing again keeps it.
MIXTABLE_API std::string Wy_FormatFVersLine(double version,
                                            const std::string& descr);

class MIXTABLE_API Wy_FVersDescr {
 public:
  // Splits a FVERS.DAT line; always true. With P the position of the first
  // blank: when there is none, P > 5, or the text before P is not a version
  // (see Wy_ParseGDataVersion), the version is "1.00" and the description
  // the whole line -- except that a line which is a version and nothing
  // else (how a set with an empty description is written) gives that
  // version and an empty description. Otherwise the version is the text
  // before P and the description the rest without its leading blanks. A
  // null line reads as an empty one.
  bool Init(const char* line);

  const std::string& GetVersion() const { return m_sVersion; }
  // False (nothing stored) for null or a text that is not a version.
  bool SetVersion(const char* version);

  // The description without the version; copied to out and answered.
  const std::string& GetPureDescr(std::string& out) const;
  bool SetPureDescr(const char* descr);  // null stores ""; true

  // The FVERS.DAT line of version and description (Wy_FormatFVersLine of
  // the version read as a number); copied to out and answered.
  const std::string& GetCompleteDescr(std::string& out) const;

 private:
  std::string m_sVersion = kFVersDefaultVersion;
  std::string m_sDescr;
};

#endif  // MIXTABLE_WY_FVERS_DESCR_H_
