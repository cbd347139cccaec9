// Creates a table, appends a record and reads it back through the installed
// engine; prints "ok" on success.
#include <cstdio>
#include <cstring>
#include <string>

#include "xbase32/wdbase.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  WDBASE_FIELD fields[2] = {};
  std::strcpy(fields[0].name, "NAME");
  fields[0].type = 'C';
  fields[0].len = 8;
  Wdbase w;
  if (!w.SetFiles(argv[1], "consumer", 0, nullptr, nullptr) ||
      !w.CreateDb(fields) || !w.Open() || !w.AppendBlank() ||
      !w.WriteString("NAME", "linked")) {
    return 1;
  }
  const std::string back = w.Read("NAME", 0, 1);
  w.Close();
  std::printf("%s\n", back == "linked" ? "ok" : "wrong");
  return back == "linked" ? 0 : 1;
}
