// Helpers of the installer tests: a package with a prepared data-set tree
// and a setup program (install_test_setup.cc) in a temporary drives root,
// and snapshots of trees and files to compare before and after.

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

// Builds the package in "c:\instpkg\": GDATA.TXT with lines and, on the
// first call after ClearDrive, the sample data set in "c:\instpkg\tree\"
// and setup.exe, which copies that tree
// into the directory named by $GDATA and creates "c:\inno.end" (or, when
// the file "c:\instpkg\FAIL" exists, copies half a tree and fails).
// Answers the host path of the package directory.
std::string MakePackage(const std::string& gdata_txt);

// Removes what the installer tests make on drive c: (the installer's own
// names there are fixed: C:\GDATAnnn, C:\GDATATMP, c:\local, c:\inno.end).
// Windows has no drives root: c: is the wine prefix's own drive, shared by
// every test of a run, so each test starts by clearing it. On Linux the
// drives root is fresh for each test and nothing is there.
void ClearDrive();

}  // namespace installer_testing

#endif  // INSTALLER_INSTALL_TEST_UTIL_H_
