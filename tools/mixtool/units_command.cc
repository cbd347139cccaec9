// mixtool units.

#include "units_command.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "mixtable/mixtable_ex.h"
#include "mixtable/wy_unit_conversion.h"

namespace mixtool {

namespace {

constexpr const char* kKindNames[] = {
    "pigment",      "weight-parts", "volume-parts", "volume",
    "volume-small", "weight",       "weight-small"};
constexpr int kKinds = 7;

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The whole of text as a finite number.
bool ParseNumber(const std::string& text, double* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(v))
    return false;
  *out = v;
  return true;
}

// The whole of text as a 32-bit id.
bool ParseId(const std::string& text, int32_t* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || errno != 0 || v < INT32_MIN ||
      v > INT32_MAX)
    return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// "ID=QTY".
bool ParseItem(const std::string& item, int32_t* id, double* qty) {
  const size_t eq = item.find('=');
  return eq != std::string::npos && ParseId(item.substr(0, eq), id) &&
         ParseNumber(item.substr(eq + 1), qty);
}

std::string Fixed9(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.9f", v);
  return text;
}

int Fail(std::ostream& err, const std::string& what) {
  err << "mixtool: " << what << "\n";
  return 1;
}

}  // namespace

int ParseUnitKind(const std::string& text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kKinds)
    return text[0] - '0';
  for (int k = 0; k < kKinds; ++k)
    if (text == kKindNames[k]) return k;
  return -1;
}

CLI::App* AddUnitsCommand(CLI::App& app, UnitsArgs* a) {
  CLI::App* c = app.add_subcommand(
      "units",
      "convert colorant quantities between pigment, weight and "
      "volume kinds with the data set's specific weights");
  c->add_option("dir", a->dir, "data directory or data id")->required();
  c->add_option("--from", a->from,
                "kind of the quantities: 0 pigment, 1 weight-parts, "
                "2 volume-parts, 3 volume, 4 volume-small, 5 weight, "
                "6 weight-small")
      ->required();
  c->add_option("--to", a->to, "kind wanted")->required();
  c->add_option("--total", a->total,
                "total amount, from a relative kind to an absolute one");
  c->add_option("--x", a->x,
                "parts of x (absolute to relative), or the base amount "
                "(with --base, absolute target)");
  c->add_option("--base", a->base, "base ID=QTY converted with the list");
  c->add_flag("--single", a->single,
              "the list's total between two absolute kinds");
  c->add_option("--factor", a->factor, "with --single: quantities times F");
  c->add_option("items", a->items, "colorant ID=QTY ...");
  return c;
}

int Units(const UnitsArgs& a, std::ostream& out, std::ostream& err) {
  const int from = ParseUnitKind(a.from);
  const int to = ParseUnitKind(a.to);
  if (from < 0) return Fail(err, "unknown unit kind '" + a.from + "'");
  if (to < 0) return Fail(err, "unknown unit kind '" + a.to + "'");

  std::vector<int32_t> ids;
  std::vector<double> q;
  for (const std::string& item : a.items) {
    int32_t id = 0;
    double v = 0;
    if (!ParseItem(item, &id, &v))
      return Fail(err, "'" + item + "' is not ID=QUANTITY");
    ids.push_back(id);
    q.push_back(v);
  }
  int32_t base_id = 0;
  double base_q = 0;
  const bool with_base = !a.base.empty();
  if (with_base && !ParseItem(a.base, &base_id, &base_q))
    return Fail(err, "--base '" + a.base + "' is not ID=QUANTITY");
  if (ids.empty() && !with_base)
    return Fail(err, "no colorant quantities (ID=QUANTITY)");
  double total = 0, x = 0, factor = 1;
  if (!a.total.empty() && !ParseNumber(a.total, &total))
    return Fail(err, "--total '" + a.total + "' is not a number");
  if (!a.x.empty() && !ParseNumber(a.x, &x))
    return Fail(err, "--x '" + a.x + "' is not a number");
  if (!a.factor.empty() && !ParseNumber(a.factor, &factor))
    return Fail(err, "--factor '" + a.factor + "' is not a number");
  if (!a.factor.empty() && !a.single)
    return Fail(err, "--factor goes with --single");
  if (a.single && with_base) return Fail(err, "--single takes no --base");
  if (a.single && (from < WY_UNIT_VOLUME || to < WY_UNIT_VOLUME || from == to))
    return Fail(err,
                "--single converts between two different absolute "
                "kinds (3..6)");
  const bool absolute_to = to >= WY_UNIT_VOLUME;
  if (!a.single && !with_base && from < WY_UNIT_VOLUME && absolute_to &&
      a.total.empty())
    return Fail(err,
                "--total is needed from a relative kind to an absolute "
                "one");
  if (!a.single && with_base && absolute_to && from != to && a.x.empty())
    return Fail(err,
                "--x (the base amount) is needed for an absolute kind "
                "with --base");

  CMixtableEx ts;
  if (AllDigits(a.dir))
    ts.Mixtable().SetDataId(
        static_cast<uint32_t>(std::strtoul(a.dir.c_str(), nullptr, 10)));
  else
    ts.SetDataDir(a.dir.c_str());
  WY_UnitConversion uc;
  if (!uc.Initialize(&ts.Mixtable()))
    return Fail(err, "cannot read BASES and CNTS of " + a.dir);

  const int n = static_cast<int>(ids.size());
  if (a.single) {
    out << "total "
        << Fixed9(uc.SingleConvert(ids.data(), q.data(), n, factor, from, to))
        << "\n";
    return 0;
  }
  const bool ok =
      with_base
          ? uc.Convert(base_id, &base_q, ids.data(), q.data(), n, from, to, x)
          : uc.Convert(ids.data(), q.data(), n, from, to, total, x);
  if (!ok)
    return Fail(err, std::string("conversion from ") + kKindNames[from] +
                         " to " + kKindNames[to] +
                         " refused (an unknown colorant or base, a specific "
                         "weight or loading of 0, a negative quantity or a "
                         "zero sum)");
  if (with_base) out << "base " << base_id << " " << Fixed9(base_q) << "\n";
  for (int i = 0; i < n; ++i) out << ids[i] << " " << Fixed9(q[i]) << "\n";
  if (!with_base && from >= WY_UNIT_VOLUME && !absolute_to)
    out << "total " << Fixed9(total) << "\n";
  return 0;
}

}  // namespace mixtool
