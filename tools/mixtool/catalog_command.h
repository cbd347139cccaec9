// mixtool catalog: the machine's catalogue of data sets.
//
// Each command writes its normal output to out and answers 0, or writes one
// line "mixtool: ..." to err and answers non-zero.

#ifndef TOOLS_MIXTOOL_CATALOG_COMMAND_H_
#define TOOLS_MIXTOOL_CATALOG_COMMAND_H_

#include <ostream>
#include <string>

namespace mixtool {

// One line per catalogue record in table order: id, path, description,
// server ("local" for this machine), family (the absolute id, "-" for
// none), hidden, and "deleted" for deleted records.
int Catalog(std::ostream& out, std::ostream& err);

// Creates the catalogue by scanning roots (directories separated by ";")
// and lists what it registered. Refused when a catalogue exists (a scan
// fills only a new one).
int CatalogScan(const std::string& roots, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_CATALOG_COMMAND_H_
