// mixtool gdata: what the tables library sees of a data set.
//
// The command writes its normal output to out and answers 0, or writes one
// line "mixtool: ..." to err and answers non-zero.

#ifndef TOOLS_MIXTOOL_GDATA_COMMAND_H_
#define TOOLS_MIXTOOL_GDATA_COMMAND_H_

#include <ostream>
#include <string>

namespace mixtool {

// Lists, level by level as the table set's scan walks them (root, product
// directories, sub-product directories, local directory), the tables found
// with their record counts, then every table file of a visited directory
// that does not open, with the reason. dir is the data directory (a
// Windows-style or host path). Answers 1 (after the listing) when some table
// does not open, with the line "mixtool: N tables do not open".
int Gdata(const std::string& dir, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_GDATA_COMMAND_H_
