// Helpers of the records' diagnostic dumps: "%f" without the locale, and
// handing a text line by line to a callback.

#ifndef MIXTABLE_FORMULA_DUMP_TEXT_H_
#define MIXTABLE_FORMULA_DUMP_TEXT_H_

#include <string>

#include "mixtable/wy_base_can.h"

namespace mixtable_internal {

// printf's "%f" (6 decimals) with a point whatever the locale.
std::string FixedSix(double value);

// Calls line() for each line of text; a leading and a trailing empty line
// (text beginning or ending with "\n") are left out.
void DumpLines(const std::string& text, Wy_DumpLineFn line, void* user);

// Writes text to standard output.
void PrintText(const std::string& text);

}  // namespace mixtable_internal

#endif  // MIXTABLE_FORMULA_DUMP_TEXT_H_
