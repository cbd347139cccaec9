// Dictionary text of arbitrary bytes: the item of every registry table is
// read from its lines. The reader must answer false or a consistent item,
// never crash or read outside its buffers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "maintenance/dictionary.h"
#include "mixtable/ytable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(data[i]);
  }
  for (int t = 0; t < Y_N_MAX; ++t) {
    YTABLE_DICTIONARY item{};
    if (mixtable::ParseDictionaryItem(lines, WyGetFileInfo(t)->def.name,
                                      &item)) {
      // Every field is complete and the list ends with a blank record.
      int n = 0;
      while (item.fields[n].name[0]) {
        if (item.fields[n].len <= 0 || std::strlen(item.fields[n].name) > 10)
          std::abort();
        const char* format =
            item.attributes + kDictHeaderSize + kDictFieldSize * n +
            kDictFormatOffset;
        if (std::strlen(format) >= kDictFormatMax) std::abort();
        ++n;
      }
      if (n == 0 || item.matchedFields[n].name[0]) std::abort();
    }
    mixtable::FreeDictionaryItem(&item);
  }
  return 0;
}
