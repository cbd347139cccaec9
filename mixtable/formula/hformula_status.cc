// HFormula: the colour keys of the colour name, the correction difference
// between the formula and its corrected text, and the extended status.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mixtable/hformula.h"
#include "mixtable/mixtable.h"
#include "mixtable/wy_mask.h"
#include "mixtable/yformula.h"

namespace {

// Width and digit budget of a correction quantity: "0.50000000000".
constexpr int kFrdWidth = 13;
constexpr int kFrdDigits = 12;

// One quantity of the correction difference: precision 12 minus the
// characters of the integer part ("%ld"), right-aligned in 13 characters,
// with a point whatever the locale, zeros kept.
std::string FrdQuantity(double q) {
  char intpart[32];
  std::snprintf(intpart, sizeof intpart, "%ld", static_cast<long>(q));
  int precision = kFrdDigits - static_cast<int>(std::string(intpart).size());
  if (precision < 0) precision = 0;
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, q, std::chars_format::fixed,
                         precision);
  std::string s(buf, r.ec == std::errc() ? r.ptr : buf);
  if (s.size() < static_cast<size_t>(kFrdWidth))
    s.insert(0, kFrdWidth - s.size(), ' ');
  return s;
}

// Pairs of a text with the quantities of a repeated colorant added up, in
// the order of first appearance; false for a malformed text.
bool Pairs(const std::string& text, std::vector<YFormulaPair>* out) {
  yformula f;
  f.set(text);
  std::vector<YFormulaPair> raw;
  if (!f.parse(&raw)) return false;
  for (const YFormulaPair& p : raw) {
    bool merged = false;
    for (YFormulaPair& q : *out)
      if (q.id == p.id) {
        q.quantity += p.quantity;
        merged = true;
        break;
      }
    if (!merged) out->push_back(p);
  }
  return true;
}

// The bits of one formula text: no pair, no quantity, malformed.
int TextBits(const std::string& text, int no_pair, int no_quantity,
             int malformed) {
  yformula f;
  f.set(text);
  std::vector<YFormulaPair> pairs;
  if (!f.parse(&pairs)) return no_pair | no_quantity | malformed;
  if (pairs.empty()) return no_pair | no_quantity;
  double sum = 0.0;
  for (const YFormulaPair& p : pairs) sum += p.quantity;
  return sum > 0.0 ? 0 : no_quantity;
}

}  // namespace

int HFormula::ClrTok(std::string* key1, std::string* key2, std::string* key3,
                     std::string* comment) const {
  std::string* keys[3] = {key1, key2, key3};
  for (std::string* k : keys)
    if (k != nullptr) k->clear();
  if (comment != nullptr) comment->clear();
  const std::string& name = m_ClrName;
  if (name.find('|') == std::string::npos) {
    if (key1 != nullptr) *key1 = name;
    return 1;
  }
  size_t start = 0;
  for (int piece = 0; piece < 4; ++piece) {
    size_t bar = name.find('|', start);
    const bool last = bar == std::string::npos;
    std::string value =
        name.substr(start, last ? std::string::npos : bar - start);
    if (piece < 3) {
      if (keys[piece] != nullptr) *keys[piece] = value;
    } else if (comment != nullptr && !value.empty()) {
      *comment = value;
    }
    if (last) break;
    start = bar + 1;
  }
  return 1;
}

int HFormula::GetFrd(std::string* text, double* nomQ) const {
  if (nomQ != nullptr) *nomQ = m_FrmNomQ;
  if (text == nullptr) return 1;
  text->clear();
  if (m_Frt.empty()) return 1;
  if (m_Frm.empty()) {
    *text = m_Frt;
    return 1;
  }
  std::vector<YFormulaPair> frm, frt;
  if (!Pairs(m_Frm, &frm) || !Pairs(m_Frt, &frt)) return 0;
  if (frm.empty() || frt.size() < frm.size()) return 0;
  for (const YFormulaPair& p : frm) {
    const YFormulaPair* q = nullptr;
    for (const YFormulaPair& t : frt)
      if (t.id == p.id) q = &t;
    if (q == nullptr || q->quantity < p.quantity) return 0;
  }
  std::string out;
  for (const YFormulaPair& t : frt) {
    double base = 0.0;
    for (const YFormulaPair& p : frm)
      if (p.id == t.id) base = p.quantity;
    const double diff = t.quantity - base;
    if (!(diff > 0.0) || !std::isfinite(diff)) continue;
    if (!out.empty()) out += ',';
    out += std::to_string(t.id);
    out += ',';
    out += FrdQuantity(diff);
  }
  *text = out;
  return 1;
}

int HFormula::StatusEx(int kind, CMixtable* tables) const {
  int bits = 0;
  if (m_BasId == 0) bits |= kStatusNoBase;
  if (m_CanId == 0) bits |= kStatusNoCan;
  if (m_ClrId == 0) bits |= kStatusNoClr;

  std::string text;
  if (kind == 1)
    text = m_Frt;
  else if (kind == 2)
    GetFrd(&text, nullptr);
  else
    text = m_Frm;
  bits |= TextBits(text, kStatusNoPair, kStatusNoQuantity, kStatusMalformed);
  bits |= TextBits(m_BaseFrm, kStatusBaseNoPair, kStatusBaseNoQuantity,
                   kStatusBaseMalformed);

  std::vector<YFormulaPair> pairs;
  {
    yformula f;
    f.set(text);
    if (!f.parse(&pairs)) pairs.clear();
  }
  const bool has_something = m_BasId != 0 || m_CanId != 0 || !pairs.empty();
  if (m_PrdId == 0 || m_SpdId == 0 || !has_something) return bits;

  // The masks of the sub-product, on a table set of our own so that the
  // caller's positions stay as they are.
  CMixtable own;
  if (tables != nullptr)
    own = *tables;
  else
    own.SetDataId(m_DataId);
  Wdbase* prd = own.Handle(Y_PRODUCTS);
  Wdbase* spd = own.Handle(Y_SUBPRODS);
  if (own.Open(prd) && own.Select(prd, m_PrdId) && own.Open(spd) &&
      own.Select(spd, m_SpdId)) {
    CWymask mask;
    if (mask.Fill("BA", &own) && !mask.Inspect(m_BasId))
      bits |= kStatusBaseMasked;
    if (mask.Fill("CA", &own) && !mask.Inspect(m_CanId))
      bits |= kStatusCanMasked;
    if (mask.Fill("CO", &own)) {
      for (const YFormulaPair& p : pairs)
        if (!mask.Inspect(p.id)) {
          bits |= kStatusCntMasked;
          break;
        }
    }
  }
  own.CloseAll();
  return bits;
}
