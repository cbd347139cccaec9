// Wy_GDataChild: record deletions, explicit deletions, the string cache and
// the colorant macro.
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mixtable/wy_gdata_child.h"
#include "mixtable/wy_util.h"
#include "mixtable/ytable.h"

namespace {

std::string Fmt(const char* format, long v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos;
       p = s.find(what, p + what.size()))
    ++n;
  return n;
}

size_t ReplaceAll(std::string& s, const std::string& what,
                  const std::string& with) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos;
       p = s.find(what, p + with.size())) {
    s.replace(p, what.size(), with);
    ++n;
  }
  return n;
}

// `(FIELD="text")`, with single quotes when the text holds a double quote.
// False (term left out, traced) when the text holds both kinds.
bool TextTerm(const char* field, const std::string& text, std::string& term) {
  bool dq = text.find('"') != std::string::npos;
  bool sq = text.find('\'') != std::string::npos;
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    Wy_Trace("Wy_GDataChild: %s holds a line break, term left out", field);
    return false;
  }
  if (dq && sq) {
    Wy_Trace("Wy_GDataChild: %s holds both quote kinds, term left out", field);
    return false;
  }
  char q = dq ? '\'' : '"';
  term = std::string("(") + field + "=" + q + text + q + ")";
  return true;
}

void Join(std::string& expr, const std::string& term) {
  if (term.empty()) return;
  if (!expr.empty()) expr += ".AND.";
  expr += term;
}

std::string Db(int table) { return Wy_GDataChild::MakeDatabase(table); }

}  // namespace

// --- the colorant macro ------------------------------------------------------

bool Wy_GDataChild::IsCardValueSafe(const std::string& value) {
  // A line break would end the card and start another in the rule file.
  if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    Wy_Trace("Wy_GDataChild: line break or NUL refused in a card value");
    return false;
  }
  if (value.find("!@") != std::string::npos ||
      value.find("!*") != std::string::npos) {
    Wy_Trace("Wy_GDataChild: reference token refused in \"%s\"", value.c_str());
    return false;
  }
  // Take out the builder's own macros, then no CX call may remain.
  std::string rest = value;
  int macros = 0;
  for (size_t p = rest.find("(CX(1,\"@CNT_F"); p != std::string::npos;
       p = rest.find("(CX(1,\"@CNT_F", p)) {
    long id = 0;
    bool ok = rest.size() >= p + 13 + 5;
    if (ok) {
      std::string digits = rest.substr(p + 13, 5);
      for (char c : digits)
        ok = ok && std::isdigit(static_cast<unsigned char>(c));
      if (ok) id = std::strtol(digits.c_str(), nullptr, 10);
    }
    std::string macro;
    if (ok) {
      std::string f = Fmt(kCntMacroFuncFormat, id),
                  s = Fmt(kCntMacroCntFormat, id);
      char buf[128];
      std::snprintf(buf, sizeof buf, kCntMacroFormat, f.c_str(), s.c_str());
      macro = buf;
      ok = rest.compare(p, macro.size(), macro) == 0;
    }
    if (!ok) break;
    rest.erase(p, macro.size());
    ++macros;
  }
  if (macros > kCntMacroMax) {
    Wy_Trace("Wy_GDataChild: %d colorant macros refused", macros);
    return false;
  }
  // Blanks between a name and its parenthesis still make a call: every
  // character the expression scanner skips (line breaks are refused above).
  std::string squeezed;
  for (char ch : Upper(rest))
    if (ch != ' ' && ch != '\t' && ch != '\v' && ch != '\f') squeezed += ch;
  if (squeezed.find("CX(") != std::string::npos) {
    Wy_Trace("Wy_GDataChild: CX call refused in \"%s\"", value.c_str());
    return false;
  }
  return true;
}

bool Wy_GDataChild::IsCntFunctionRequired(const char* expr, int32_t& cnt) {
  cnt = 0;
  if (m_notInit || !expr) return false;
  std::string e = expr;
  size_t f = e.find("@CNT_F"), s = e.find("@CNT_S");
  if (f == std::string::npos || s == std::string::npos || e.size() < s + 11)
    return false;
  std::string digits = e.substr(s + 6, 5);
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  cnt = int32_t(std::strtol(digits.c_str(), nullptr, 10));
  return cnt > 0;
}

bool Wy_GDataChild::MakeCntFunctionMacro(std::string& expr, int32_t cnt) {
  if (m_notInit || cnt < 1 || cnt > 99999) return false;
  std::string f = Fmt(kCntMacroFuncFormat, cnt),
              s = Fmt(kCntMacroCntFormat, cnt);
  char buf[128];
  std::snprintf(buf, sizeof buf, kCntMacroFormat, f.c_str(), s.c_str());
  expr = buf;
  return true;
}

bool Wy_GDataChild::ConvertCntFunctionMacro(std::string& expr, int32_t cnt,
                                            const char* funcText,
                                            const char* cntText) {
  if (m_notInit || cnt < 1 || cnt > 99999 || !funcText || !cntText)
    return false;
  if (Count(expr, "@CNT_F") > size_t(kCntMacroMax)) {
    Wy_Trace("Wy_GDataChild: more than %d colorant macros", kCntMacroMax);
    return false;
  }
  std::string e = expr;
  size_t nf = ReplaceAll(e, Fmt(kCntMacroFuncFormat, cnt), funcText);
  size_t ns = ReplaceAll(e, Fmt(kCntMacroCntFormat, cnt), cntText);
  if (nf == 0 || nf != ns) return false;
  expr = e;
  return true;
}

// --- record deletions --------------------------------------------------------

bool Wy_GDataChild::MakeDeleteCard(
    std::vector<std::string>& cards, const RecordReader& rec, int table,
    int32_t id, int32_t prd, int32_t spd,
    const std::vector<int32_t>& substrates) const {
  cards.clear();
  if (m_notInit || !rec || id <= 0) return false;
  const std::string root = kCardSectionRoot, all = kCardSectionAll;
  auto add = [&](const std::string& section, int t, const char* key,
                 const std::string& value) {
    cards.push_back(Card_Make(section.c_str(), t >= 0 ? Db(t).c_str() : "", "",
                              key, value.c_str()));
  };
  auto del = [&](const std::string& section, int t, const std::string& value) {
    add(section, t, kCardKeyDelete, value);
  };
  auto text = [&](std::string& e, const char* field) {
    std::string term;
    if (TextTerm(field, rec(field), term)) Join(e, term);
  };
  long pk = std::strtol(rec("PROD_KEY").c_str(), nullptr, 10);
  long sk = std::strtol(rec("SUBP_KEY").c_str(), nullptr, 10);
  std::string keys;
  if (pk > 0) Join(keys, Fmt("(VAL(PROD_KEY)=%ld)", pk));
  if (sk > 0) Join(keys, Fmt("(VAL(SUBP_KEY)=%ld)", sk));
  std::string byId = Fmt("(VAL(ID)=%ld)", id);
  std::string byIdKeys = byId;
  Join(byIdKeys, keys);

  std::string own = byId, section;
  switch (table) {
    case Y_CNTS: {
      text(own, "CODE");
      text(own, "DESCR");
      std::string ft = rec("FTYPE");
      if (!ft.empty()) {
        std::string term;
        if (TextTerm("FTYPE", ft.substr(0, 1), term)) Join(own, term);
      }
      Join(own, keys);
      section = root;
      break;
    }
    case Y_BASES:
      text(own, "CODE");
      text(own, "DESCR");
      Join(own, keys);
      section = root;
      break;
    case Y_CANS:
      text(own, "DESCR");
      section = root;
      break;
    case Y_PRODUCTS:
      text(own, "CODE");
      text(own, "DESCR");
      section = root;
      break;
    case Y_SUBPRODS:
      text(own, "CODE");
      text(own, "DESCR");
      section = MakeSezione(prd, 0);
      break;
    case Y_FRM:
      text(own, "KEY1");
      text(own, "KEY2");
      text(own, "KEY3");
      text(own, "COMMENT");
      section = MakeSezione(prd, spd);
      break;
    default:
      return false;
  }
  if (section.empty() || section.find('?') != std::string::npos) return false;
  del(section, table, own);
  if (m_fastDelete) return true;

  switch (table) {
    case Y_PRODUCTS:
    case Y_SUBPRODS: {
      std::string prune =
          table == Y_PRODUCTS ? MakeSezione(id, 0) : MakeSezione(prd, id);
      if (prune.empty()) return false;
      add(prune, -1, kCardKeyPrune, "");
      std::string e =
          Fmt("(VAL(PROD_KEY)=%ld)", table == Y_PRODUCTS ? id : prd);
      if (table == Y_SUBPRODS) Join(e, Fmt("(VAL(SUBP_KEY)=%ld)", id));
      for (int t : {Y_BASES, Y_BASESFRM, Y_BAS_BLND, Y_BAS_KS, Y_BAS_FF, Y_CNTS,
                    Y_CNT_BLND, Y_CNT_KS, Y_CNT_FF, Y_SINGLE_KS, Y_SINGLE_BLND})
        del(root, t, e);
      break;
    }
    case Y_CNTS: {
      std::string macro = Fmt(kCntMacroFuncFormat, id);
      std::string f = macro, s = Fmt(kCntMacroCntFormat, id);
      char buf[128];
      std::snprintf(buf, sizeof buf, kCntMacroFormat, f.c_str(), s.c_str());
      macro = buf;
      del(all, Y_FRM, macro);
      del(all, Y_MASK, "(TYPE=\"CO\").AND." + Fmt("(VAL(PNT_ID)=%ld)", id));
      del(all, Y_RULER, "(RTYPE=\"CO\").AND." + Fmt("(VAL(PTR_ID)=%ld)", id));
      for (int t : {Y_CNT_BLND, Y_CNT_KS, Y_SINGLE_BLND, Y_SINGLE_KS, Y_CNT_FF})
        del(root, t, byIdKeys);
      if (keys.empty()) del(root, Y_CNT_HUE, byId);
      std::string ft = rec("FTYPE");
      if (!ft.empty() && (ft[0] == 'B' || ft[0] == 'b'))
        del(root, Y_BASESFRM, macro);
      break;
    }
    case Y_BASES:
      del(all, Y_FRM, Fmt("(VAL(BASE_ID)=%ld)", id));
      del(all, Y_MASK, "(TYPE=\"BA\").AND." + Fmt("(VAL(PNT_ID)=%ld)", id));
      del(all, Y_RULER, "(RTYPE=\"BA\").AND." + Fmt("(VAL(PTR_ID)=%ld)", id));
      for (int t : {Y_BASESFRM, Y_BAS_BLND, Y_BAS_KS, Y_BAS_FF})
        del(root, t, byIdKeys);
      if (keys.empty()) {
        del(root, Y_BAS_HUE, byId);
        del(root, Y_SUBSTRATE, Fmt("(VAL(BASE_ID)=%ld)", id));
        for (int32_t sub : substrates) {
          del(root, Y_SINGLE_BLND, Fmt("(VAL(SUBSTR_ID)=%ld)", sub));
          del(root, Y_SINGLE_KS, Fmt("(VAL(SUBSTR_ID)=%ld)", sub));
        }
      }
      break;
    case Y_CANS:
      del(all, Y_FRM, Fmt("(VAL(CAN_ID)=%ld)", id));
      del(all, Y_MASK, "(TYPE=\"CA\").AND." + Fmt("(VAL(PNT_ID)=%ld)", id));
      break;
    default:
      break;
  }
  return true;
}

bool Wy_GDataChild::StoreCard(const std::string& card) {
  for (std::string& c : m_cards)
    if (Card_Compare(c, card) == 0) {
      c = card;
      return true;
    }
  m_cards.push_back(card);
  return true;
}

bool Wy_GDataChild::DeleteRecordFrom(const RecordReader& rec, int table,
                                     int32_t id, int32_t prd, int32_t spd,
                                     const std::vector<int32_t>& substrates) {
  std::vector<std::string> cards;
  if (!MakeDeleteCard(cards, rec, table, id, prd, spd, substrates))
    return false;
  for (const std::string& c : cards) StoreCard(c);
  return true;
}

bool Wy_GDataChild::IsRecordDeletedFrom(const RecordReader& rec, int table,
                                        int32_t id, int32_t prd, int32_t spd) {
  bool fast = m_fastDelete;
  m_fastDelete = true;
  std::vector<std::string> cards;
  bool ok = MakeDeleteCard(cards, rec, table, id, prd, spd);
  m_fastDelete = fast;
  if (!ok) return false;
  for (const std::string& card : cards) {
    bool found = false;
    for (const std::string& c : m_cards)
      found = found || Card_Compare(c, card) == 0;
    if (!found) return false;
  }
  return true;
}

// --- explicit deletions ------------------------------------------------------

bool Wy_GDataChild::SetDeleteRecordEx(const std::vector<std::string>& exprs,
                                      int table, int32_t prd, int32_t spd) {
  if (m_notInit) return false;
  std::string section = MakeSezione(prd, spd), db = MakeDatabase(table);
  if (section.empty() || section.find('?') != std::string::npos || db.empty())
    return false;
  for (const std::string& e : exprs)
    if (e.empty() || !IsCardValueSafe(e)) return false;
  for (const std::string& e : exprs)
    StoreCard(Card_Make(section.c_str(), db.c_str(), "", kCardKeyDeleteEx,
                        e.c_str()));
  return true;
}

bool Wy_GDataChild::GetDeleteRecordEx(std::vector<std::string>& exprs,
                                      int table, int32_t prd, int32_t spd) {
  exprs.clear();
  if (m_notInit) return false;
  std::string section = MakeSezione(prd, spd), db = MakeDatabase(table);
  if (section.empty() || db.empty()) return false;
  Card s{section, db, "", kCardKeyDeleteEx, ""};
  for (int p = 0; p < int(m_cards.size()); ++p) {
    p = Card_Find(s, kFindSection | kFindDatabase | kFindKey, p);
    if (p < 0) break;
    exprs.push_back(m_cards[p].substr(kCardValuePos));
  }
  return true;
}

bool Wy_GDataChild::UpdateDeleteRecordEx(const std::vector<std::string>& remove,
                                         const std::vector<std::string>& add,
                                         int table, int32_t prd, int32_t spd) {
  if (m_notInit) return false;
  std::string section = MakeSezione(prd, spd), db = MakeDatabase(table);
  if (section.empty() || section.find('?') != std::string::npos || db.empty())
    return false;
  for (const std::string& e : remove) {
    Card s{section, db, "", kCardKeyDeleteEx, e};
    int p =
        Card_Find(s, kFindSection | kFindDatabase | kFindKey | kFindValue, 0);
    if (p < 0 || !Card_Del(p)) return false;
  }
  return add.empty() || SetDeleteRecordEx(add, table, prd, spd);
}

bool Wy_GDataChild::CleanRules(int table, int32_t prd, int32_t spd,
                               bool alsoExplicit) {
  if (m_notInit) return false;
  bool validTable = WyGetFileInfo(table) != nullptr;
  std::string section;
  bool anySection = prd < 0 && spd < 0;
  if (!(validTable == false && alsoExplicit) && !anySection) {
    section = MakeSezione(prd, spd);
    if (section.empty()) return false;
  }
  std::string db = validTable ? MakeDatabase(table) : "";
  std::vector<std::string> keep;
  for (const std::string& line : m_cards) {
    Card c;
    Card_Fill(line, c);
    bool header = false;
    for (const char* h :
         {kCardKeyDirFrom, kCardKeyDirTo, kCardKeyDescr, kCardKeyId})
      header = header || strcasecmp(c.key.c_str(), h) == 0;
    bool remove = !header;
    if (remove && !(!validTable && alsoExplicit)) {
      if (!anySection) {
        // Section match as Card_Find does it ("?" any character).
        remove = section.size() == c.section.size();
        for (size_t i = 0; remove && i < section.size(); ++i)
          remove = section[i] == '?' || section[i] == c.section[i];
      }
      if (remove && validTable)
        remove = strcasecmp(c.database.c_str(),
                            Card_Make("", db.c_str(), "", "", "")
                                .substr(kCardDatabasePos, kCardDatabaseLen)
                                .c_str()) == 0;
      if (remove && !alsoExplicit)
        remove = strcasecmp(c.key.c_str(), kCardKeySelectEx) != 0 &&
                 strcasecmp(c.key.c_str(), kCardKeyDeleteEx) != 0;
    }
    if (!remove) keep.push_back(line);
  }
  m_cards = std::move(keep);
  return true;
}

// --- string cache ------------------------------------------------------------

bool Wy_GDataChild::StringCacheInit(int table) {
  if (m_notInit || !WyGetFileInfo(table)) return false;
  m_cacheExprs.clear();
  m_cacheTable = table;
  m_cacheSections = 0;
  m_cacheInvalid = false;
  return true;
}

bool Wy_GDataChild::StringCacheAdd(int32_t prd, int32_t spd) {
  if (m_notInit || m_cacheTable < 0) return false;
  std::vector<std::string> exprs;
  if (!GetDeleteRecordEx(exprs, m_cacheTable, prd, spd)) return false;
  m_cacheExprs.insert(m_cacheExprs.end(), exprs.begin(), exprs.end());
  ++m_cacheSections;
  return true;
}

bool Wy_GDataChild::StringCacheRemove(int32_t prd, int32_t spd) {
  if (m_notInit || m_cacheTable < 0 || m_cacheSections <= 0) return false;
  std::vector<std::string> exprs;
  if (!GetDeleteRecordEx(exprs, m_cacheTable, prd, spd)) return false;
  for (const std::string& e : exprs)
    for (auto it = m_cacheExprs.begin(); it != m_cacheExprs.end(); ++it)
      if (*it == e) {
        m_cacheExprs.erase(it);
        break;
      }
  --m_cacheSections;
  return true;
}

bool Wy_GDataChild::StringCacheGetIntersection(
    std::vector<std::string>& exprs) {
  exprs.clear();
  if (m_notInit || m_cacheTable < 0 || m_cacheInvalid) return false;
  std::vector<std::string> seen;
  for (const std::string& e : m_cacheExprs) {
    bool done = false;
    for (const std::string& s : seen) done = done || s == e;
    if (done) continue;
    seen.push_back(e);
    int n = 0;
    for (const std::string& x : m_cacheExprs) n += x == e;
    if (n > m_cacheSections) {
      m_cacheInvalid = true;
      exprs.clear();
      return false;
    }
    if (n == m_cacheSections) exprs.push_back(e);
  }
  return true;
}
