// Helpers of the payload and package tests: files and trees under a
// temporary drives root, and hand-made archives with any entries at all.

#ifndef INSTALLER_SETUP_PAYLOAD_TEST_UTIL_H_
#define INSTALLER_SETUP_PAYLOAD_TEST_UTIL_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace payload_testing {

// Host path of a Windows-style path.
std::string Host(const std::string& path);
// Writes text into a file, creating its directories; false on failure.
bool Write(const std::string& path, const std::string& text);
// The whole file ("" when missing).
std::string Contents(const std::string& path);
// Every entry below the host directory: files with their contents,
// directories with a trailing "/", links as "->target".
std::map<std::string, std::string> Snapshot(const std::string& host);

// One entry of a hand-made archive (type: AE_IFREG, AE_IFDIR, ...).
struct Entry {
  Entry(std::string n, unsigned t = 0100000, std::string d = "",
        std::string l = "", std::string h = "")
      : name(std::move(n)),
        type(t),
        data(std::move(d)),
        link(std::move(l)),
        hardlink(std::move(h)) {}
  std::string name;
  unsigned type;
  std::string data;
  std::string link;  // symbolic link target
  std::string hardlink;
};

// Writes a tar (gzip'ed when gzip) of the entries, exactly as given, to a
// host path; false on failure.
bool MakeArchive(const std::string& host, const std::vector<Entry>& entries,
                 bool gzip = true);

}  // namespace payload_testing

#endif  // INSTALLER_SETUP_PAYLOAD_TEST_UTIL_H_
