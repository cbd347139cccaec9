// Questions about the products and sub-products of a data set, each
// answered with a temporary table set of its own (every table closed at the
// end). Nothing throws.

#ifndef MIXTABLE_WY_PRODUCT_LEVELS_H_
#define MIXTABLE_WY_PRODUCT_LEVELS_H_

#include <cstdint>
#include <string>

#include "mixtable/export.h"

class CMixtable;

// The directory of product prd (spd 0) or of its sub-product spd in the data
// set at data_dir, by the table set's PATH rule. True when every level
// asked for was found; false with product 0 or a refused PATH (out is then
// the data directory), or a missing sub-product (out is the product's
// directory).
MIXTABLE_API bool Wy_GetPathFromLevelIDs(const char* data_dir, int32_t prd,
                                         int32_t spd, std::string& out);
// The ids of the first product of data set data_id and of that product's
// first sub-product. Both are set to 0 first; 1 when both are non-zero. 0
// with a null pointer.
MIXTABLE_API int Wy_GetDefaultPrdSpdIds(uint32_t data_id, int32_t* prd,
                                        int32_t* spd);
// 1 when another sub-product of product prd (another ID) has the same PATH
// (any case) as sub-product spd; with skip_deleted, deleted records do not
// count.
MIXTABLE_API int Wy_IsAnAlias(const char* data_dir, int32_t prd, int32_t spd,
                              int skip_deleted);
// Walks CNTS (opened temporarily): FTYPE "A"/"a" adds 1 to *first, "B"/"b"
// to *second (each when given). *first is set to 0 before; *second is only
// incremented. 1 when any such colorant exists.
MIXTABLE_API int Wy_CheckBasesModules(CMixtable* tables, int* first,
                                      int* second);

#endif  // MIXTABLE_WY_PRODUCT_LEVELS_H_
