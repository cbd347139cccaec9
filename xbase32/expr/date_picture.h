// Dates shown and read through a date picture such as "MM/DD/YY".
//
// Picture letters (upper case): C century digit, Y year digit, M month digit
// (a run of three or more M stands for the month name), D day digit. Every
// other picture character is a separator that is copied when formatting and
// skipped when reading. Text and picture correspond position by position.

#ifndef XBASE32_EXPR_DATE_PICTURE_H_
#define XBASE32_EXPR_DATE_PICTURE_H_

#include <cstddef>

namespace xbase32 {

// Writes strlen(picture) bytes into out: the 8-byte date ccyymmdd shown
// with picture. A run of k Y shows the last k digits of CCYY, a run of k C
// the last k of CC, M and D likewise of MM and DD; three or more M show the
// month name cut or blank-padded to the run. For the empty date (8 blanks)
// the letters become blanks and the separators stay.
void FormatDatePicture(const char* ccyymmdd, const char* picture, char* out);

// Reads the n bytes of text with picture into the 8 bytes ccyymmdd (no NUL
// written). Parts missing from the text or the picture default to century
// "19", year "01", month "01", day "01"; blanks (and NULs) inside a part
// read as "0"; four or more Y read the whole year CCYY. A month-name run is
// matched case-insensitively against the first letters of "January" ..
// "December" ("00", an invalid month, when nothing matches). When every
// position under a picture letter is blank, the result is the empty date
// (8 blanks).
void ParseDatePicture(const char* text, size_t n, const char* picture,
                      char* ccyymmdd);

}  // namespace xbase32

#endif  // XBASE32_EXPR_DATE_PICTURE_H_
