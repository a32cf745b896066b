// 导出 on the pages: the modification time in the user's local time, and a
// CSV of rows written where the user picks through the system's save dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "uimodel/export_rows.h"

// "2026-12-08 14:05" in the user's time zone (that day's rules, summer time
// included) into out (kTimeTextUnits units); empty for 0 (not known).
void FormatModifiedTime(uint64_t filetime, char16_t* out);

// Asks where to save (suggestedName in the dialog's name field), then
// writes the rows as CSV: UTF-8 with a byte-order mark, sizes in bytes,
// times in ISO 8601 local time with its offset from UTC. The file is
// written under a temporary name beside the target and renamed over it
// once complete, so a failure never leaves half a file; a failure is told
// in a message box with the system's reason. Returns true when the file was
// written, false when cancelled or failed.
bool ExportRowsAsCsv(HWND owner, const wchar_t* suggestedName, const std::vector<ExportRow>& rows);
