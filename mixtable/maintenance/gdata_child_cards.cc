// Wy_GDataChild: cards, sections, the rule file, initialisation.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"
#include "platform/env.h"
#include "platform/line_reader.h"

namespace {

// New ids come from CMixtableEx::CreateNewGdataId unless a test replaces it.
Wy_GDataChild::IdMaker g_idMaker = CMixtableEx::CreateNewGdataId;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string WithBackslash(std::string dir) {
  dir = Trim(dir);
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

const char* const kKeys[] = {
    kCardKeyDirFrom, kCardKeyDirTo,    kCardKeyDescr,
    kCardKeyId,      kCardKeySelect,   kCardKeySelectEx,
    kCardKeyDelete,  kCardKeyDeleteEx, kCardKeyPrune};

bool KnownKey(const std::string& key) {
  for (const char* k : kKeys)
    if (EqualNoCase(key, k)) return true;
  return false;
}

bool IsExpressionKey(const std::string& key) {
  return EqualNoCase(key, kCardKeySelect) ||
         EqualNoCase(key, kCardKeySelectEx) ||
         EqualNoCase(key, kCardKeyDelete) || EqualNoCase(key, kCardKeyDeleteEx);
}

bool IsHeaderKey(const std::string& key) {
  return EqualNoCase(key, kCardKeyDirFrom) || EqualNoCase(key, kCardKeyDirTo) ||
         EqualNoCase(key, kCardKeyDescr) || EqualNoCase(key, kCardKeyId);
}

bool ValidSection(const std::string& s) {
  if (s.size() != kCardSectionLen) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '?' && c != '*')
      return false;
  return true;
}

// A "GDT_ID  =" value: 1..4 294 967 295, digits only.
bool ValidId(const std::string& id) {
  if (id.empty() || id.size() > 10) return false;
  for (char c : id)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  unsigned long long v = std::strtoull(id.c_str(), nullptr, 10);
  return v >= 1 && v <= 4294967295ULL;
}

bool SectionMatches(const std::string& pattern, const std::string& section) {
  if (pattern.size() != section.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '?') continue;
    if (std::toupper(static_cast<unsigned char>(pattern[i])) !=
        std::toupper(static_cast<unsigned char>(section[i])))
      return false;
  }
  return true;
}

}  // namespace

void Wy_GDataChild::SetIdMaker(IdMaker maker) {
  g_idMaker = maker ? maker : CMixtableEx::CreateNewGdataId;
}

Wy_GDataChild::Wy_GDataChild() = default;

void Wy_GDataChild::Clear() {
  m_path.clear();
  m_search = m_found = Card();
  m_pos = -1;
  m_src.clear();
  m_dst.clear();
  m_descr.clear();
  m_newId = false;
  m_id.clear();
  m_cards.clear();
  m_notInit = true;
}

bool Wy_GDataChild::Init(const char* src, const char* dst, const char* descr,
                         bool newId) {
  std::string s = WithBackslash(src ? src : "");
  std::string d = WithBackslash(dst ? dst : "");
  std::string t = descr ? descr : "";
  // Each text becomes one line of the rule file.
  const std::string breaks("\r\n\0", 3);
  bool ok = !s.empty() && !d.empty() && !Trim(t).empty() &&
            !EqualNoCase(s, d) &&
            (s + d + t).find_first_of(breaks) == std::string::npos;
  if (ok) {
    CMixtableEx set;
    set.SetDataDir(s.c_str());
    ok = set.GetParamGdataId(false) != 0;
    if (!ok) Wy_Trace("Wy_GDataChild::Init: no DATAID in %s", s.c_str());
  }
  if (!ok) {
    m_src.clear();
    m_dst.clear();
    m_descr.clear();
    m_newId = false;
    m_notInit = true;
    return false;
  }
  m_src = s;
  m_dst = d;
  m_descr = t;
  m_newId = newId;
  m_notInit = false;
  return true;
}

bool Wy_GDataChild::InitInDummyMode() {
  m_notInit = false;
  return true;
}

bool Wy_GDataChild::GetInfo(std::string& src, std::string& dst,
                            std::string& descr, bool& newId) const {
  src = m_src;
  dst = m_dst;
  descr = m_descr;
  newId = m_newId;
  return true;
}

// --- cards -------------------------------------------------------------------

std::string Wy_GDataChild::Card_Make(const char* section, const char* database,
                                     const char* code, const char* key,
                                     const char* value) {
  char head[kCardValuePos + 1];
  std::snprintf(head, sizeof head, "%-*.*s%-*.*s%-*.*s%-*.*s",
                int(kCardSectionLen), int(kCardSectionLen),
                section ? section : "", int(kCardDatabaseLen),
                int(kCardDatabaseLen), database ? database : "",
                int(kCardCodeLen), int(kCardCodeLen), code ? code : "",
                int(kCardKeyLen), int(kCardKeyLen), key ? key : "");
  return std::string(head) + (value ? value : "");
}

bool Wy_GDataChild::Card_Fill(const std::string& line, Card& card) {
  if (line.size() < kCardMinLen) return false;
  card.section = line.substr(kCardSectionPos, kCardSectionLen);
  card.database = line.substr(kCardDatabasePos, kCardDatabaseLen);
  card.code = line.substr(kCardCodePos, kCardCodeLen);
  card.key = line.substr(kCardKeyPos, kCardKeyLen);
  card.value = line.substr(kCardValuePos);
  return true;
}

bool Wy_GDataChild::Card_Get(int pos, Card& card) {
  if (m_notInit || pos < 0 || pos >= int(m_cards.size())) return false;
  if (!Card_Fill(m_cards[pos], card)) return false;
  m_found = card;
  m_pos = pos;
  return true;
}

int Wy_GDataChild::Card_Set(int pos, const std::string& card) {
  if (m_notInit || card.size() < kCardMinLen ||
      card.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return -1;
  if (pos >= 0 && pos < int(m_cards.size())) {
    m_cards[pos] = card;
  } else {
    m_cards.push_back(card);
    pos = int(m_cards.size()) - 1;
  }
  m_pos = pos;
  return pos;
}

bool Wy_GDataChild::Card_Del(int pos) {
  if (m_notInit || pos < 0 || pos >= int(m_cards.size())) return false;
  m_cards.erase(m_cards.begin() + pos);
  return true;
}

int Wy_GDataChild::Card_Find(const Card& search, unsigned fields, int pos) {
  if (m_notInit) return -1;
  if (pos < 0 || pos >= int(m_cards.size())) pos = 0;
  m_search = search;
  // Compare the padded forms, as the cards hold them.
  Card s;
  Card_Fill(
      Card_Make(search.section.c_str(), search.database.c_str(),
                search.code.c_str(), search.key.c_str(), search.value.c_str()),
      s);
  for (int i = pos; i < int(m_cards.size()); ++i) {
    Card c;
    if (!Card_Fill(m_cards[i], c)) continue;
    if ((fields & kFindSection) && !SectionMatches(s.section, c.section))
      continue;
    if ((fields & kFindDatabase) && !EqualNoCase(s.database, c.database))
      continue;
    if ((fields & kFindCode) && !EqualNoCase(s.code, c.code)) continue;
    if ((fields & kFindKey) && !EqualNoCase(s.key, c.key)) continue;
    if ((fields & kFindValue) && !EqualNoCase(s.value, c.value)) continue;
    m_found = c;
    m_pos = i;
    return i;
  }
  return -1;
}

int Wy_GDataChild::Card_Compare(const std::string& a, const std::string& b) {
  int r = strcasecmp(a.c_str(), b.c_str());
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

void Wy_GDataChild::Card_Sort() {
  std::stable_sort(m_cards.begin(), m_cards.end(),
                   [](const std::string& a, const std::string& b) {
                     return Card_Compare(a, b) < 0;
                   });
}

std::string Wy_GDataChild::MakeSezione(int32_t prd, int32_t spd) {
  char buf[32];
  if (prd == -2 && spd == -2) return kCardSectionAll;
  if (prd >= 0 && spd == 0) {
    if (prd > 9999) return "";
    std::snprintf(buf, sizeof buf, "%04ld0000", long(prd));
    return buf;
  }
  if (prd < 0 && spd < 0) return "????????";
  if (prd < 1 || spd == 0) return "";
  if (prd > 9999 || spd > 9999) return "";
  if (spd < 0) {
    std::snprintf(buf, sizeof buf, "%04ld????", long(prd));
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%04ld%04ld", long(prd), long(spd));
  return buf;
}

std::string Wy_GDataChild::MakeDatabase(int table) {
  const YTABLE* t = WyGetFileInfo(table);
  if (!t || !t->def.name) return "";
  std::string n = t->def.name;
  size_t dot = n.find('.');
  if (dot != std::string::npos) n.resize(dot);
  return Upper(n);
}

int Wy_GDataChild::DatabaseToTable(const std::string& database) {
  std::string d = Trim(database);
  if (d.empty()) return -1;
  for (int i = 0; i < Y_N_MAX; ++i)
    if (EqualNoCase(MakeDatabase(i), d)) return i;
  return -1;
}

// --- the rule file -----------------------------------------------------------

bool Wy_GDataChild::ParseLines(const std::vector<std::string>& lines) {
  std::vector<std::string> cards;
  int n = 0;
  for (const std::string& raw : lines) {
    ++n;
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' ||
                             line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] == '#') continue;
    line.erase(0, b);
    Card c;
    const char* why = nullptr;
    if (!Card_Fill(line, c)) {
      why = "line too short";
    } else if (line.find('\0') != std::string::npos) {
      why = "NUL byte";
    } else if (!KnownKey(c.key)) {
      why = "unknown key";
    } else if (!ValidSection(c.section)) {
      why = "bad section";
    } else if (!Trim(c.database).empty() && DatabaseToTable(c.database) < 0) {
      why = "bad database";
    } else if (IsExpressionKey(c.key) && !IsCardValueSafe(c.value)) {
      why = "refused expression";
    } else if (EqualNoCase(c.key, kCardKeyId) && !ValidId(Trim(c.value))) {
      why = "bad data-set id";
    } else if (IsHeaderKey(c.key)) {
      // One header card per key, in the root section, without database:
      // a second one would take over after sorting.
      if (c.section != kCardSectionRoot || !Trim(c.database).empty())
        why = "header card outside the root section";
      for (const std::string& k : cards)
        if (!why && EqualNoCase(k.substr(kCardKeyPos, kCardKeyLen), c.key))
          why = "duplicate header card";
    }
    if (why) {
      Wy_Trace("Wy_GDataChild::Read: line %d refused (%s)", n, why);
      return false;
    }
    cards.push_back(line);
  }
  m_cards = std::move(cards);
  return true;
}

bool Wy_GDataChild::Read(const char* path) {
  Clear();
  std::vector<std::string> lines;
  if (!path || !platform::ReadLines(path, &lines).ok()) {
    Wy_Trace("Wy_GDataChild::Read: cannot read %s", path ? path : "(null)");
    return false;
  }
  m_notInit = false;  // the card functions below need it
  bool ok = ParseLines(lines);
  std::string from, to, descr, id;
  auto header = [&](const char* key, std::string& out) {
    Card s{kCardSectionRoot, "", "", key, ""};
    int p = Card_Find(s, kFindSection | kFindKey, 0);
    if (p < 0) return false;
    out = Trim(m_cards[p].substr(kCardValuePos));
    return !out.empty();
  };
  if (ok)
    ok = header(kCardKeyDirFrom, from) && header(kCardKeyDirTo, to) &&
         header(kCardKeyDescr, descr);
  if (ok) {
    header(kCardKeyId, id);
    std::vector<std::string> keep = m_cards;
    ok = Init(from.c_str(), to.c_str(), descr.c_str(), !id.empty());
    if (ok) m_cards = std::move(keep);
  }
  if (!ok) {
    Wy_Trace("Wy_GDataChild::Read: %s refused", path);
    Clear();
    return false;
  }
  m_path = path;
  m_id = id;
  return true;
}

bool Wy_GDataChild::Write(const char* path) {
  if (m_notInit || !path || !*path) return false;
  auto setHeader = [&](const char* key, const std::string& value) {
    Card s{kCardSectionRoot, "", "", key, ""};
    int p = Card_Find(s, kFindSection | kFindKey, 0);
    Card_Set(p, Card_Make(kCardSectionRoot, "", "", key, value.c_str()));
  };
  setHeader(kCardKeyDirFrom, m_src);
  setHeader(kCardKeyDirTo, m_dst);
  setHeader(kCardKeyDescr, m_descr);
  Card idCard{kCardSectionRoot, "", "", kCardKeyId, ""};
  if (m_newId) {
    std::string id = m_id;
    if (m_path.empty() || !EqualNoCase(m_path, path) || !ValidId(id)) {
      if (!g_idMaker(id) || !ValidId(id)) {
        Wy_Trace("Wy_GDataChild::Write: no valid data-set id");
        return false;
      }
    }
    char buf[16];
    std::snprintf(
        buf, sizeof buf, kChildIdFormat,
        static_cast<unsigned long>(std::strtoull(id.c_str(), nullptr, 10)));
    m_id = buf;
    setHeader(kCardKeyId, m_id);
  } else {
    for (int p; (p = Card_Find(idCard, kFindSection | kFindKey, 0)) >= 0;)
      Card_Del(p);
  }
  Card_Sort();

  std::string text;
  for (const std::string& c : m_cards) text += c + "\n";
  platform::Env* env = platform::Env::Current();
  std::string work = std::string(path) + ".$$$";
  std::unique_ptr<platform::File> f;
  bool ok = env->OpenFile(work, platform::OpenMode::kCreateAlways, &f).ok() &&
            f->WriteAt(0, text.data(), text.size()).ok() && f->Sync().ok();
  f.reset();
  if (ok) ok = env->RenameFile(work, path, true).ok();
  if (!ok) {
    env->DeleteFile(work);
    Wy_Trace("Wy_GDataChild::Write: cannot write %s", path);
    return false;
  }
  m_path = path;
  return true;
}
