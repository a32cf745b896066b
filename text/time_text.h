// Times as the program writes them. The calendar fields come from the
// system (Win32: FileTimeToSystemTime, then the user's time zone); only the
// text is made here, so it is the same everywhere and testable.
#pragma once

#include <cstdint>

// A calendar time as Win32's SYSTEMTIME holds it (no day of the week, no
// milliseconds: neither is ever shown).
struct CivilTime {
    uint16_t year, month, day, hour, minute, second;
};

// Units a time text needs at most, terminator included.
constexpr int kTimeTextUnits = 32;

// "2026-12-08 14:05" into out (kTimeTextUnits units). False, with out
// empty, when a field is out of its range (a month 13, a minute 60).
bool FormatListTime(const CivilTime& time, char16_t* out);

// ISO 8601 with the local time's distance from UTC, east positive:
// "2026-12-08T14:05:09+08:00", "2026-06-01T09:00:00-04:30"; UTC itself is
// "+00:00". False, with out empty, for a field out of range or an offset
// beyond 18 hours.
bool FormatIsoTime(const CivilTime& time, int32_t offsetMinutes, char16_t* out);
