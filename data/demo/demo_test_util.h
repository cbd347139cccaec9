// Checks shared by the demo data-set tests: the files of a tree and the
// soundness of every index of a data set.

#ifndef DATA_DEMO_DEMO_TEST_UTIL_H_
#define DATA_DEMO_DEMO_TEST_UTIL_H_

#include <map>
#include <string>

namespace kalvo_demo_testing {

// Every file below dir (host or Windows-style path), by relative path in
// upper case with "/" between components, with its bytes. A directory that
// cannot be listed fails the current test.
std::map<std::string, std::string> TreeFiles(const std::string& dir);

// The whole contents of a file, or "<missing>".
std::string ReadAll(const std::string& path);

struct IndexCount {
  int tables = 0;   // registry tables found at the root, product and
                    // sub-product levels
  int indexes = 0;  // index files checked
};

// Runs the index check of xbtool on every index file the table registry
// names for every table found in data_dir and in the directories of its
// products and sub-products (as PRODUCTS and SUBPRODS name them); each
// fault fails the current test.
IndexCount ExpectEveryIndexSound(const std::string& data_dir);

}  // namespace kalvo_demo_testing

#endif  // DATA_DEMO_DEMO_TEST_UTIL_H_
