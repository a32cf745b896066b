// Small UTF-16 helpers shared by portable code and the backends.
#pragma once

#include <cstddef>
#include <cstdint>

size_t Text16Length(const char16_t* text);
bool Text16Equal(const char16_t* a, const char16_t* b);
// Copies at most capacity - 1 units and always terminates; returns the
// units copied. Nothing is written when capacity is 0.
size_t Text16CopyTruncated(char16_t* dst, size_t capacity, const char16_t* src);

// Conversions for the posix backend and tests. Both return false, with an
// empty result, when the output does not fit; unpaired surrogates and
// malformed UTF-8 become U+FFFD.
bool Utf16ToUtf8(const char16_t* src, char* dst, size_t capacity);
bool Utf8ToUtf16(const char* src, char16_t* dst, size_t capacity);

#ifdef _WIN32
// wchar_t is one UTF-16 unit on Windows: the API boundary casts, nothing more.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16");
inline const wchar_t* WideText(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* WideText(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* Text16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* Text16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
#endif
