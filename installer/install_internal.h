// Helpers shared by the install engine's sources.

#ifndef INSTALLER_INSTALL_INTERNAL_H_
#define INSTALLER_INSTALL_INTERNAL_H_

#include <string>

#include "installer/install_engine.h"

namespace installer_internal {

// s without leading and trailing white space.
std::string Trim(const std::string& s);
// $LOCALDIR (trimmed, trailing "\"), else "c:\local\"; not created.
std::string LocalDir();
// name in the package directory (see InstallContext::package_dir).
std::string PackageFile(const InstallContext& ctx, const char* name);
// Case-insensitive comparison of the trimmed a with b.
bool SameText(const std::string& a, const char* b);
// Whether a name listed in a directory maps back to that very entry when
// joined to the directory's path: not empty, not "." or "..", and free of
// "\" and "/" (legal in host names, but a joined path would split there and
// could lead out of the tree). The engine's tree steps never enter, delete or
// rename entries with other names; they leave them where they are.
bool PlainName(const std::string& name);

}  // namespace installer_internal

#endif  // INSTALLER_INSTALL_INTERNAL_H_
