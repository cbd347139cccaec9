// Helpers of the installer tests: a package with a prepared data-set tree
// and a setup program (a shell script) in a temporary drives root, and
// snapshots of trees and files to compare before and after.

#ifndef INSTALLER_INSTALL_TEST_UTIL_H_
#define INSTALLER_INSTALL_TEST_UTIL_H_

#include <map>
#include <string>
#include <vector>

namespace installer_testing {

// Host path of a Windows-style path.
std::string Host(const std::string& path);
// Whole contents of a file ("" when missing) / whether it exists.
std::string Contents(const std::string& path);
bool Exists(const std::string& path);
// Writes text to a file (created with its directories).
void Write(const std::string& path, const std::string& text);
// Every file below dir (relative name with "/", contents); directories
// appear with a trailing "/" and no contents.
std::map<std::string, std::string> Snapshot(const std::string& dir);

// Builds the package in "d:\pkg\": GDATA.TXT with lines, the sample data
// set in "d:\pkg\tree\" and setup.exe, which copies that tree into the
// directory named by $GDATA and creates "c:\inno.end" (or, when the file
// "d:\pkg\FAIL" exists, copies half a tree and fails). Answers the host
// path of the package directory.
std::string MakePackage(const std::string& gdata_txt);

}  // namespace installer_testing

#endif  // INSTALLER_INSTALL_TEST_UTIL_H_
