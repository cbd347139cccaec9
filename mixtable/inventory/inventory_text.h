// Text helpers of the inventory: the reflectance curve as stored in
// FRM_REFL fields, and ids. Internal to the tables library. Numbers are
// written and read with a point whatever the process locale.

#ifndef MIXTABLE_INVENTORY_INVENTORY_TEXT_H_
#define MIXTABLE_INVENTORY_INVENTORY_TEXT_H_

#include <cstdint>
#include <string>

namespace mixtable_inventory {

constexpr int kReflValues = 16;

// The 16 values x 100, each "%.3lf;" ("50.000;" for 0.5).
std::string FormatRefl(const double* values);

// The curve of a FRM_REFL text: item i (";"-separated, at most 16 taken)
// x 0.01; a missing or unreadable item is -1; an empty (or blank) text
// gives -1 for every value.
void ParseRefl(const std::string& text, double* values);

// "%5ld" of an id.
std::string IdText(int32_t id);

// The number of a right- or left-aligned decimal id text; 0 for blank or
// garbage.
int32_t ReadIdText(const char* text);

}  // namespace mixtable_inventory

#endif  // MIXTABLE_INVENTORY_INVENTORY_TEXT_H_
