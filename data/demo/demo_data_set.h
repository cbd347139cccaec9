// The demo formula data set: a small but complete data set (colorants,
// products with sub-products, bases, cans, a few hundred formulas with
// colour keys and reflectance curves, masks, rulers, the parameters and the
// version line) that the project ships as an installable package and that
// the main job installs.
//
// The contents are generated, not stored: every value comes from fixed
// tables in demo_catalog.cc and a fixed-seed generator, and the clock the
// engine stamps into table headers is held at kDemoDate, so two builds
// write the same bytes.
//
// Tables are created from the table dictionary (DataBase.DCT) and filled
// through Wdbase; every index file the table registry names for a created
// table is built when the table is filled.

#ifndef DATA_DEMO_DEMO_DATA_SET_H_
#define DATA_DEMO_DEMO_DATA_SET_H_

#include <cstdint>
#include <string>

namespace kalvo_demo {

// Identity of the demo data set: PARAM "ABS_DATAID" and "DATAID" (the
// data-set id form "3" + version integer part + digits 3..7 of the
// absolute id + version decimals), FVERS.DAT's version and description.
// The build defines them (data/demo/CMakeLists.txt), where the package
// command takes them from as well.
constexpr uint32_t kDemoAbsId = KALVO_DEMO_ABS_ID;
constexpr uint32_t kDemoDataId = KALVO_DEMO_DATA_ID;
constexpr const char* kDemoVersion = KALVO_DEMO_VERSION;
constexpr const char* kDemoDescr = KALVO_DEMO_DESCR;

// The date every table header carries: 2026-01-15.
constexpr int kDemoYear = 2026, kDemoMonth = 1, kDemoDay = 15;

// Record counts.
constexpr int kDemoColorants = 12;
constexpr int kDemoProducts = 3;
constexpr int kDemoSubProductsPerProduct = 2;
constexpr int kDemoBasesPerProduct = 3;
constexpr int kDemoCans = 4;
constexpr int kDemoColourCard = 80;  // distinct colour keys
constexpr int kDemoFormulasPerSubProduct = 50;

// Writes the demo data set into dir (a Windows-style path such as
// "c:\gdata\" or a host path; created when missing, and must hold no table
// yet). Reports progress through the platform progress hook (one step per
// sub-product). Installs a fixed clock for the duration (see above). On
// failure answers false with the reason in *error; what was written stays.
bool BuildDemoDataSet(const std::string& dir, std::string* error);

}  // namespace kalvo_demo

#endif  // DATA_DEMO_DEMO_DATA_SET_H_
