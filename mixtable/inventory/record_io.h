// Reading and writing the fields of an inventory record. Internal to the
// tables library. Texts go through the table's code-page conversion;
// buffers follow the field widths of the file (a wider field reads whole).

#ifndef MIXTABLE_INVENTORY_RECORD_IO_H_
#define MIXTABLE_INVENTORY_RECORD_IO_H_

#include <cstdint>
#include <ctime>
#include <string>

#include "xbase32/wdbase.h"

namespace mixtable_inventory {

// The field's text, right-trimmed (and left-trimmed with ltrim). False
// when the table has no such field or the read fails.
bool ReadText(const Wdbase& db, const char* field, std::string* out,
              bool ltrim = false);
// A text the table may lack: empty then (true).
std::string ReadOptionalText(const Wdbase& db, const char* field);
// The number of a decimal id field ("%5ld" or left-aligned); 0 when the
// field is missing, blank or not a number.
int32_t ReadId(const Wdbase& db, const char* field);
uint32_t ReadUnsigned(const Wdbase& db, const char* field);
// A numeric field; 0 when missing or blank.
double ReadNumber(const Wdbase& db, const char* field);
bool ReadFlag(const Wdbase& db, const char* field);
// A D field as a batch date (full year, month from 1); blank or
// malformed gives day, month and year -1. Time of day 0.
tm ReadDate(const Wdbase& db, const char* field);

// Writes text (cut to the field); an empty text blanks the field (the
// engine leaves a field alone for an empty text).
bool WriteText(Wdbase& db, const char* field, const std::string& text);
// Writes a batch date through Wdbase::MakeDate; a date with a day, month or
// year out of range blanks the field.
bool WriteDate(Wdbase& db, const char* field, const tm& date);
bool WriteFlag(Wdbase& db, const char* field, bool on);

// The text as the field of width stores it: cut to width, right-trimmed.
std::string AsStored(const std::string& text, int width);

}  // namespace mixtable_inventory

#endif  // MIXTABLE_INVENTORY_RECORD_IO_H_
