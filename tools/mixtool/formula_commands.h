// mixtool frm, mask, colorkeys and cans: formulas, masks, colour keys and
// cans of a data set as the tables library reads them.
//
// dir is a data directory (Windows-style or host path) or, when it is all
// digits, a catalogued data id. Each command writes its output to out and
// answers 0, or writes one line "mixtool: ..." to err and answers 1.

#ifndef TOOLS_MIXTOOL_FORMULA_COMMANDS_H_
#define TOOLS_MIXTOOL_FORMULA_COMMANDS_H_

#include <cstdint>
#include <ostream>
#include <string>

namespace mixtool {

// The stored FORMULA of formula id in product prd / sub-product spd beside
// what Wy_Frm::read makes of it (after the ruler, units, can reference).
int Frm(const std::string& dir, int32_t prd, int32_t spd, int32_t id,
        std::ostream& out, std::ostream& err);
// The ids the sub-product allows for type (BA, CO or CA), or "every id".
int Mask(const std::string& dir, int32_t prd, int32_t spd,
         const std::string& type, std::ostream& out, std::ostream& err);
// Rebuilds the colour-key tables and prints their record counts.
int ColorKeys(const std::string& dir, std::ostream& out, std::ostream& err);
// Every can with its sizes, weight flag and heights, then the data set's
// single-product flag, unit and fraction, and HTML directory.
int Cans(const std::string& dir, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_FORMULA_COMMANDS_H_
