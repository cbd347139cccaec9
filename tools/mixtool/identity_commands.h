// mixtool create and id: making a data set, and its identity as the
// tables library reads it.
//
// Exit statuses: 0 done; 2 refused (the code and its meaning are printed);
// 3 busy (another maintenance run, or a table open elsewhere); 4 an
// interrupted run in the directory could not be restored.

#ifndef TOOLS_MIXTOOL_IDENTITY_COMMANDS_H_
#define TOOLS_MIXTOOL_IDENTITY_COMMANDS_H_

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace mixtool {

// CMixtableEx::CreateGData(dir, line); on success the identity as Id prints.
int Create(const std::string& dir, const std::string& line, std::ostream& out,
           std::ostream& err);

// DATAID, ABS_DATAID, CODEPAGE, CHECK_INFO, the FVERS.DAT line and the
// version the DATAID carries, one "NAME  value" line each. 2 when the
// directory holds no PARAM table.
int Id(const std::string& dir, std::ostream& out, std::ostream& err);

// The meaning of a CreateGData result.
const char* CreateResultText(int result);

struct IdentityCommands {
  CLI::App* create = nullptr;
  CLI::App* id = nullptr;
  std::string dir, line;
};
void AddIdentityCommands(CLI::App& app, IdentityCommands* c);
// -1 when neither command was chosen.
int RunIdentityCommands(const IdentityCommands& c, std::ostream& out,
                        std::ostream& err);

}  // namespace mixtool

#endif  // TOOLS_MIXTOOL_IDENTITY_COMMANDS_H_
