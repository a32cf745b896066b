// Comma-separated values as a spreadsheet program reads them (RFC 4180):
// UTF-8 opened by a byte-order mark, so that names in Chinese are read as
// UTF-8 and not in the machine's ANSI code page; rows end in CR LF.
#pragma once

#include <cstddef>
#include <string>

// The UTF-8 byte-order mark every file starts with.
constexpr char kCsvByteOrderMark[] = "\xEF\xBB\xBF";

// Appends one row of fields to out (UTF-8 bytes): separated by commas, a
// field holding '"', ',', CR or LF wrapped in quotes with its quotes
// doubled, the row ended by CR LF. An unpaired surrogate becomes U+FFFD.
void CsvAppendRow(std::string* out, const std::u16string* fields, size_t count);
