// Reading DataBase.DCT. A table is described inside the first "[DBF"
// section by five lines keyed "DBF_NAME_KIND=", "_FNAME=", "_FTYPE=",
// "_FLEN=" and "_FKIND="; the FNAME line gives the field count N, KIND must
// hold one item and the other three N items each. A first pass finds the
// FNAME line (names keep their case); a second pass over the same section,
// upper-cased, takes the other four.

#include "maintenance/dictionary.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mixtable/wy_util.h"
#include "platform/line_reader.h"

namespace mixtable {

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// Items of a whole line, key included; a non-empty line holds at least one.
int32_t CountItems(const std::string& line) {
  int32_t n = Wy_StringParse_GetNum(line, ';');
  return (n == 0 && !line.empty()) ? 1 : n;
}

std::string ValueOf(const std::string& line) {
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string Item(const std::string& list, int32_t k) {
  std::string item;
  Wy_StringParse_GetItem(item, list, k, ';');
  return item;
}

// The line as the reader sees it: cut at the longest line, trimmed.
std::string Clean(const std::string& raw) {
  return Trim(raw.size() > kDictLineMax ? raw.substr(0, kDictLineMax) : raw);
}

bool Skipped(const std::string& line) { return line.empty() || line[0] == '#'; }

}  // namespace

std::string FieldPrintFormat(char type, int width, int dec) {
  char buf[32] = "";
  switch (type) {
    case 'C':
    case 'D':
    case 'M':
      if (width == 1)
        std::snprintf(buf, sizeof buf, "%%1c");
      else
        std::snprintf(buf, sizeof buf, "%%%ds", width);
      break;
    case 'L':
      std::snprintf(buf, sizeof buf, "%%1d");
      break;
    case 'N':
      if (dec > 0)
        std::snprintf(buf, sizeof buf, width < 8 ? "%%%d.%df" : "%%%d.%dlf",
                      width, dec);
      else
        std::snprintf(buf, sizeof buf, width < 5 ? "%%%dd" : "%%%dld", width);
      break;
    default:
      break;
  }
  return buf;
}

bool ParseDictionaryItem(const std::vector<std::string>& lines,
                         const std::string& table_file,
                         YTABLE_DICTIONARY* item) {
  if (item == nullptr) return false;
  *item = YTABLE_DICTIONARY{};
  std::string base = Upper(table_file);
  if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".DBF") == 0)
    base.resize(base.size() - 4);
  if (base.empty()) return false;
  const std::string prefix = "DBF_" + base;
  const std::string key_kind = prefix + "_KIND=";
  const std::string key_fname = prefix + "_FNAME=";
  const std::string key_ftype = prefix + "_FTYPE=";
  const std::string key_flen = prefix + "_FLEN=";
  const std::string key_fkind = prefix + "_FKIND=";

  // First pass: the section start and the field names.
  long section = -1;
  int32_t n = 0;
  std::string names;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Clean(lines[i]);
    if (Skipped(line)) continue;
    if (StartsWith(line, "[DBF")) {
      section = static_cast<long>(i) + 1;
      n = 0;
      names.clear();
      continue;
    }
    if (section < 0) continue;
    if (StartsWith(line, key_fname)) {
      n = CountItems(line);
      names = ValueOf(line);
    } else if (line[0] == ']') {
      break;
    }
  }
  if (section < 0 || n <= 0 || names.empty()) return false;

  // Second pass, upper-cased: the other four lines.
  std::string kind, ftype, flen, fkind;
  for (size_t i = static_cast<size_t>(section); i < lines.size(); ++i) {
    const std::string line = Upper(Clean(lines[i]));
    if (Skipped(line)) continue;
    if (line[0] == ']') break;
    if (StartsWith(line, key_kind)) {
      if (CountItems(line) != 1) break;
      kind = ValueOf(line);
    } else if (StartsWith(line, key_ftype) || StartsWith(line, key_flen) ||
               StartsWith(line, key_fkind)) {
      if (CountItems(line) != n) break;
      std::string value = ValueOf(line);
      if (StartsWith(line, key_ftype))
        ftype = value;
      else if (StartsWith(line, key_flen))
        flen = value;
      else
        fkind = value;
    }
  }
  if (kind.empty() || ftype.empty() || flen.empty() || fkind.empty())
    return false;

  const size_t attr_size = kDictHeaderSize + kDictFieldSize * size_t(n);
  item->attributes = new char[attr_size]();
  item->fields = new WDBASE_FIELD[n + 1]();
  item->matchedFields = new WDBASE_FIELD[n + 1]();
  item->offsets = new int32_t[2 * size_t(n)]();

  item->attributes[0] = kind.find('T') != std::string::npos;
  item->attributes[1] = kind.find('G') != std::string::npos;
  item->attributes[2] = kind.find('H') != std::string::npos;
  for (int32_t k = 0; k < n; ++k) {
    WDBASE_FIELD& f = item->fields[k];
    std::string name = Trim(Item(names, k));
    std::strncpy(f.name, name.c_str(), 10);
    f.name[10] = '\0';
    const std::string type = Trim(Item(ftype, k));
    f.type = type.empty() ? '\0' : type[0];
    const std::string len = Trim(Item(flen, k));
    int width = std::atoi(len.c_str());
    size_t dot = len.find('.');
    int dec = dot == std::string::npos ? 0 : std::atoi(len.c_str() + dot + 1);
    switch (f.type) {
      case 'D':
        width = 8;
        dec = 0;
        break;
      case 'L':
        width = 1;
        dec = 0;
        break;
      case 'M':
        width = 10;
        dec = 0;
        break;
      case 'C':
        dec = 0;
        break;
      default:
        break;
    }
    if (f.name[0] == '\0' || f.type == '\0' || width <= 0 || width > 0x7FFF ||
        dec < 0 || dec > width) {
      FreeDictionaryItem(item);  // a field no table could be created with
      return false;
    }
    f.len = static_cast<int16_t>(width);
    f.dec = static_cast<int16_t>(dec);
    f.reserved = 0;

    char* rec = item->attributes + kDictHeaderSize + kDictFieldSize * size_t(k);
    const std::string flags = Item(fkind, k);
    rec[0] = flags.find('T') != std::string::npos;
    rec[1] = flags.find('G') != std::string::npos;
    rec[2] = flags.find('H') != std::string::npos;
    rec[3] = flags.find('R') != std::string::npos;
    const std::string format = FieldPrintFormat(f.type, width, dec);
    std::snprintf(rec + kDictFormatOffset, kDictFormatMax, "%s",
                  format.c_str());
  }
  return true;
}

bool LoadDictionaryItem(const std::string& path, const std::string& table_file,
                        YTABLE_DICTIONARY* item) {
  if (item == nullptr) return false;
  *item = YTABLE_DICTIONARY{};
  std::vector<std::string> lines;
  if (!platform::ReadLines(path, &lines).ok()) return false;
  return ParseDictionaryItem(lines, table_file, item);
}

void FreeDictionaryItem(YTABLE_DICTIONARY* item) {
  if (item == nullptr) return;
  delete[] item->attributes;
  delete[] item->fields;
  delete[] item->matchedFields;
  delete[] item->offsets;
  *item = YTABLE_DICTIONARY{};
}

}  // namespace mixtable
