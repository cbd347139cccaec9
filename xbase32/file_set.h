// The file-set definition of a Wdbase: directory, data file, index files and
// their key expressions, normalised as the engine stores them.

#ifndef XBASE32_FILE_SET_H_
#define XBASE32_FILE_SET_H_

#include <string>

namespace xbase32 {

constexpr int kMaxIndexes = 8;

struct FileSet {
  std::string path;  // lower case, ends with "\" (".\" when none was given)
  std::string name;  // data file name, lower case, with an extension
  int count = 0;     // index files 1..count
  int selected = 0;  // 0 = natural order
  std::string idx_names[kMaxIndexes];   // lower case, with an extension
  std::string idx_exprs[kMaxIndexes];   // upper case, trailing blanks removed
  void* idx_handles[kMaxIndexes] = {};  // open index files

  // The full name of file k (0 data, 1..count index).
  std::string Full(int k) const {
    return path + (k == 0 ? name : idx_names[k - 1]);
  }
};

// Directory text normalised: lower case, ending with "\"; ".\" for null or
// empty.
std::string NormalisePath(const char* path);

// Lower-cases name and appends "." + ext when it has no extension. Answers
// false when the result breaks the 8.3 rule (base 1..8 characters,
// extension at most 3).
bool NormaliseFileName(const std::string& name, const char* ext,
                       std::string* out);

}  // namespace xbase32

#endif  // XBASE32_FILE_SET_H_
