// The formula text: tokens, pairs, and all-or-nothing rewrites.

#include "mixtable/yformula.h"

#include <cmath>
#include <cstring>
#include <new>

#include "mixtable/quantity_format.h"

namespace {

bool IsSeparator(char c) {
  return c == ',' || c == ' ' || c == ';' || c == '\n';
}

bool IsTrimmed(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Calls f(begin, length) for every token of text; answers the token count.
template <typename F>
size_t ForEachToken(const std::string& text, F&& f) {
  size_t n = 0, i = 0, len = text.size();
  while (i < len) {
    while (i < len && IsSeparator(text[i])) ++i;
    if (i >= len) break;
    size_t start = i;
    while (i < len && !IsSeparator(text[i])) ++i;
    f(text.data() + start, i - start, n);
    ++n;
  }
  return n;
}

// Appends the separator add() writes before a new pair.
void AppendPairText(std::string* out, int32_t id, const std::string& q) {
  if (!out->empty() && !IsSeparator(out->back())) out->push_back(',');
  out->append(std::to_string(id));
  out->push_back(',');
  out->append(q);
}

}  // namespace

yformula& yformula::operator=(const yformula& other) {
  if (this != &other) {
    try {
      text_ = other.text_;
    } catch (const std::bad_alloc&) {
      // Keeps the old text: nothing half copied.
    }
  }
  return *this;
}

int yformula::set(const char* text) {
  if (text == nullptr) {
    text_.clear();
    return 1;
  }
  size_t len = std::strlen(text), b = 0;
  while (b < len && IsTrimmed(text[b])) ++b;
  while (len > b && IsTrimmed(text[len - 1])) --len;
  try {
    text_.assign(text + b, len - b);  // text may point into text_ itself
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int yformula::set(const std::string& text) {
  std::string copy;
  try {
    copy = text;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return set(copy.c_str());
}

int yformula::count() const {
  size_t n = ForEachToken(text_, [](const char*, size_t, size_t) {});
  if (n % 2 != 0) return -1;
  if (n / 2 > static_cast<size_t>(INT32_MAX)) return -1;
  return static_cast<int>(n / 2);
}

int yformula::parse(int32_t* ids, double* quantities, int capacity) const {
  int pairs = count();
  if (pairs < 0) return -1;
  if (capacity > 0 && (ids == nullptr || quantities == nullptr)) return -1;
  int limit = capacity < 0 ? 0 : (capacity < pairs ? capacity : pairs);
  ForEachToken(text_, [&](const char* t, size_t len, size_t k) {
    size_t pair = k / 2;
    if (pair >= static_cast<size_t>(limit)) return;
    if (k % 2 == 0) {
      ids[pair] = Wy_ReadId(t, len);
    } else {
      quantities[pair] = Wy_ReadDouble(t, len);
    }
  });
  return limit;
}

bool yformula::parse(std::vector<YFormulaPair>* pairs) const {
  if (pairs == nullptr) return false;
  pairs->clear();
  int n = count();
  if (n < 0) return false;
  try {
    pairs->resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  ForEachToken(text_, [&](const char* t, size_t len, size_t k) {
    if (k % 2 == 0) {
      (*pairs)[k / 2].id = Wy_ReadId(t, len);
    } else {
      (*pairs)[k / 2].quantity = Wy_ReadDouble(t, len);
    }
  });
  return true;
}

int yformula::add(int32_t id, const char* quantity) {
  if (quantity == nullptr) return 0;
  size_t qlen = std::strlen(quantity);
  if (qlen > kMaxQuantityText) return 0;
  try {
    std::string next = text_;
    AppendPairText(&next, id, std::string(quantity, qlen));
    text_.swap(next);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int yformula::add(int32_t id, double quantity, int decimals, int exponent) {
  try {
    return add(id, Wy_FormatQuantity(quantity, decimals, exponent).c_str());
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool yformula::Compose(const std::vector<YFormulaPair>& pairs, int decimals,
                       int exponent, std::string* out) {
  try {
    std::string text;
    for (const YFormulaPair& p : pairs) {
      int d = decimals < 0 ? DecimalsNeeded(p.quantity) : decimals;
      std::string q = Wy_FormatQuantity(p.quantity, d, exponent);
      if (q.size() > kMaxQuantityText) return false;
      AppendPairText(&text, p.id, q);
    }
    out->swap(text);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

int yformula::resize(double from, double to, int decimals, int exponent) {
  if (!(from > 0) || !(to > 0) || !std::isfinite(from) || !std::isfinite(to))
    return 0;
  try {
    std::vector<YFormulaPair> pairs, kept;
    if (!parse(&pairs)) return 0;
    double ratio = to / from;
    kept.reserve(pairs.size());
    for (const YFormulaPair& p : pairs) {
      double q = p.quantity * ratio;
      if (q > 1e-16 && p.id > 0) kept.push_back({p.id, q});
    }
    std::string text;
    if (!Compose(kept, decimals < 0 ? 0 : decimals, exponent, &text)) return 0;
    text_.swap(text);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int yformula::Convert(YSpecificWeights& weights, double factor, int decimals,
                      int exponent, bool volume) {
  if (!(factor >= kMinFactor)) return 0;
  try {
    std::vector<YFormulaPair> pairs;
    if (!parse(&pairs)) return 0;
    for (YFormulaPair& p : pairs) {
      double w = 0.0;
      if (!weights.SpecificWeight(p.id, &w) || !(w >= kMinFactor)) return 0;
      double multiplier = volume ? 1000.0 / w : w * 0.001;
      p.quantity = p.quantity * factor * multiplier;
    }
    std::string text;
    if (!Compose(pairs, decimals < 0 ? 0 : decimals, exponent, &text)) return 0;
    text_.swap(text);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int yformula::to_volume(YSpecificWeights& weights, double factor, int decimals,
                        int exponent) {
  return Convert(weights, factor, decimals, exponent, true);
}

int yformula::to_weight(YSpecificWeights& weights, double factor, int decimals,
                        int exponent) {
  return Convert(weights, factor, decimals, exponent, false);
}
