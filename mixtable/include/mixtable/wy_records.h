// Plain records the tables library hands to and takes from client programs:
// shop and dispenser identification, refill information, level entries,
// dispenser/can choices, barcode overrides and the web-page settings. The
// library constructs, copies and clears them; it does not interpret the
// fields it does not name. Nothing here throws.

#ifndef MIXTABLE_WY_RECORDS_H_
#define MIXTABLE_WY_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mixtable/export.h"

// The shop, user and customer a formula is dispensed for.
struct MIXTABLE_API Wy_ShopData {
  std::string m_Shop1, m_Shop2, m_Shop3;  // shop identification lines
  std::string m_UserId;
  std::string m_UserName;
  std::string m_PcId;
  int32_t m_Nprog = 0;                                   // progressive number
  std::string m_CustomKey1, m_CustomKey2, m_CustomKey3;  // customer keys
  std::string m_CustomComment;
  std::string m_Extra1, m_Extra2, m_Extra3, m_Extra4, m_Extra5;

  void Clear() { *this = Wy_ShopData(); }
};

// The dispenser a formula is dispensed on.
struct MIXTABLE_API Wy_DispenserData {
  std::string m_DispenserDescr;
  int m_DispenserId = 0;

  void Clear() { *this = Wy_DispenserData(); }
};

// Refill information of a client program (not filled by the library).
struct MIXTABLE_API Wy_RefillInfo {
  std::string m_Text1, m_Text2, m_Text3;
  double m_Value = 0.0;
  int m_Int1 = 0;
  std::string m_Text4;
  int m_Int2 = 0;
  std::string m_Text5;
  int m_Int3 = 0;
  std::string m_Text6;
  std::vector<uint32_t> m_Ids;
  std::string m_Text7, m_Text8;

  // Empties the texts, zeroes the numbers and frees the array.
  void Clear() { *this = Wy_RefillInfo(); }
};

// A number and a text; also the type of a formula's level entries.
struct MIXTABLE_API Wy_GdataBitmap {
  int m_Id = 0;
  std::string m_Text;

  void Clear() { *this = Wy_GdataBitmap(); }
};

// Four integers of a client's dispenser/can choice (defaults 0, 0, 0, 1).
struct MIXTABLE_API Wy_DispsAndCans {
  int m_Value1 = 0;
  int m_Value2 = 0;
  int m_Value3 = 0;
  int m_Value4 = 1;

  void Clear() { *this = Wy_DispsAndCans(); }
};

// Three integers of a barcode override (defaults 0, 123, 0).
struct MIXTABLE_API Wy_BarcodeOverrideData {
  int m_Value1 = 0;
  int m_Value2 = 123;
  int m_Value3 = 0;

  void Clear() { *this = Wy_BarcodeOverrideData(); }
};

// Settings of the web pages a client program shows. Wholly inline, so not
// exported: an exported class's inline constants would be imported from
// MIXTABLE.dll on Windows, which emits them only where it uses them itself.
struct Wy_WebmdiData {
  // The local page shown by default.
  static constexpr const char kDefaultPage[] = "c:\\htmldata\\index.htm";
  // The default web address: a neutral placeholder the client replaces.
  static constexpr const char kDefaultAddress[] = "http://localhost/";

  int m_Int1 = 0, m_Int2 = 0, m_Int3 = 0, m_Int4 = 0;
  std::string m_Page = kDefaultPage;
  std::string m_Address = kDefaultAddress;
  std::string m_Text;
  int m_Int5 = 0, m_Int6 = 0, m_Int7 = 0, m_Int8 = 0;
  std::string m_HomePage = kDefaultPage;
  int m_Int9 = 0;

  // Integers 0, the first and last texts kDefaultPage, the second
  // kDefaultAddress, the third empty.
  void Clear() { *this = Wy_WebmdiData(); }
};

#endif  // MIXTABLE_WY_RECORDS_H_
