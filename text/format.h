// Size text, bounded formatting and the diagnostic trace.
//
// The one format dialect of the program: %s a UTF-16 string, %c one UTF-16
// unit, %d a signed 32-bit integer, %llu an unsigned 64-bit integer, %p a
// pointer, %.2f a double with two decimals and '.' as separator, %% a
// percent sign. Anything else after '%' makes the format invalid.
#pragma once

#include <cstdarg>
#include <cstdint>

// Units a size text needs at most, terminator included.
constexpr int kSizeTextUnits = 32;

// Writes "%.2f GB", "%.2f MB", "%.2f KB" or "%llu B" (powers of 1024) into
// out, which must hold kSizeTextUnits units. A null out does nothing.
void FormatSize(uint64_t bytes, char16_t* out);

// Writes value's decimal digits grouped as a locale writes them: separator
// between groups; grouping in the form of Windows' LOCALE_SGROUPING, sizes
// from the right separated by ';', a final 0 repeating the size before it
// ("3;0" 1,234,567; "3;2;0" 12,34,567; "3" 1234,567; "" or "0" no groups).
// Returns the units written without the terminator, or -1 with out empty
// when they do not fit in capacity.
int FormatGrouped(uint64_t value, const char16_t* separator, const char* grouping, char16_t* out, int capacity);

// Formats into dst, writing at most capacity - 1 units and a terminator.
// Returns the units written without the terminator, or -1 with dst empty
// when the text does not fit or the format is invalid.
int FormatText(char16_t* dst, int capacity, const char16_t* format, ...);
int FormatTextV(char16_t* dst, int capacity, const char16_t* format, va_list args);

// Milestones of the program report here. Without a sink (the default) a
// trace call does nothing at all; with one, each line is formatted and
// handed to it (a line past 511 units, or a bad format, hands over the
// format itself, cut to fit).
// Nothing may depend on a trace line, and Trace cannot fail.
typedef void (*TraceSink)(const char16_t* line);
void SetTraceSink(TraceSink sink);
void Trace(const char16_t* format, ...);
