#include "text/time_text.h"

namespace {

bool InRange(const CivilTime& t) {
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour < 24 && t.minute < 60 && t.second < 60;
}

// Writes value in exactly `digits` decimal digits; returns the next unit.
char16_t* PutDigits(char16_t* at, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    }
    return at + digits;
}

char16_t* PutDate(char16_t* at, const CivilTime& t, char16_t between) {
    at = PutDigits(at, t.year, 4);
    *at++ = u'-';
    at = PutDigits(at, t.month, 2);
    *at++ = u'-';
    at = PutDigits(at, t.day, 2);
    *at++ = between;
    at = PutDigits(at, t.hour, 2);
    *at++ = u':';
    return PutDigits(at, t.minute, 2);
}

}  // namespace

bool FormatListTime(const CivilTime& time, char16_t* out) {
    out[0] = 0;
    if (!InRange(time)) return false;
    *PutDate(out, time, u' ') = 0;
    return true;
}

bool FormatIsoTime(const CivilTime& time, int32_t offsetMinutes, char16_t* out) {
    out[0] = 0;
    if (!InRange(time) || offsetMinutes > 18 * 60 || offsetMinutes < -18 * 60) return false;
    char16_t* at = PutDate(out, time, u'T');
    *at++ = u':';
    at = PutDigits(at, time.second, 2);
    *at++ = offsetMinutes < 0 ? u'-' : u'+';
    const unsigned distance = static_cast<unsigned>(offsetMinutes < 0 ? -offsetMinutes : offsetMinutes);
    at = PutDigits(at, distance / 60, 2);
    *at++ = u':';
    at = PutDigits(at, distance % 60, 2);
    *at = 0;
    return true;
}
