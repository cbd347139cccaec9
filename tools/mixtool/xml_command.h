// mixtool xml check|repair: the state of an XML report or history document
// and the repair of one whose end was lost.
//
// Both write their output to out and answer 0, or write "mixtool: ..." to
// err (and what they found to out) and answer 1.

#ifndef TOOLS_MIXTOOL_XML_COMMAND_H_
#define TOOLS_MIXTOOL_XML_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace mixtool {

struct XmlArgs {
  std::string doc;
  CLI::App* check = nullptr;
  CLI::App* repair = nullptr;
};

// Adds "xml" with its "check" and "repair" subcommands.
CLI::App* AddXmlCommand(CLI::App& app, XmlArgs* args);
// Runs the subcommand that was parsed.
int Xml(const XmlArgs& args, std::ostream& out, std::ostream& err);

// check: "charset DECLARED machine MACHINE", "root NAME", "elements N" and
// one "  NAME COUNT" line per top-level element name (first-seen order),
// then "well-formed" or "error line L: MESSAGE (code C)". Answers 0 only
// for a well-formed document declaring this machine's character set. When
// the parser cannot run at all (the Windows build has none) only the
// charset line is written and "cannot parse" answers 1.
int XmlCheck(const std::string& doc, std::ostream& out, std::ostream& err);

// repair: a well-formed document is left as it is ("nothing to repair").
// Otherwise the document is copied to DOC".bak", cut back to the end of the
// last complete top-level element before the line of the first error, and
// closed with the root's end tag; "kept N bytes, copy in PATH" and the check
// of the result follow. Fails when no root start tag is found or the result
// still does not parse (the copy stays), and, writing nothing, when the
// parser cannot run at all.
int XmlRepair(const std::string& doc, std::ostream& out, std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_XML_COMMAND_H_
