#include "text/text16.h"

size_t Text16Length(const char16_t* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

bool Text16Equal(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

size_t Text16CopyTruncated(char16_t* dst, size_t capacity, const char16_t* src) {
    if (capacity == 0) return 0;
    size_t n = 0;
    if (src) {
        while (n + 1 < capacity && src[n]) {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

bool Utf16ToUtf8(const char16_t* src, char* dst, size_t capacity) {
    size_t out = 0;
    for (size_t i = 0; src[i]; ++i) {
        uint32_t cp = src[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        char buf[4];
        size_t len;
        if (cp < 0x80) {
            buf[0] = static_cast<char>(cp);
            len = 1;
        } else if (cp < 0x800) {
            buf[0] = static_cast<char>(0xC0 | (cp >> 6));
            buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 2;
        } else if (cp < 0x10000) {
            buf[0] = static_cast<char>(0xE0 | (cp >> 12));
            buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 3;
        } else {
            buf[0] = static_cast<char>(0xF0 | (cp >> 18));
            buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
            len = 4;
        }
        if (out + len + 1 > capacity) {
            if (capacity) dst[0] = 0;
            return false;
        }
        for (size_t k = 0; k < len; ++k) dst[out++] = buf[k];
    }
    if (capacity == 0) return false;
    dst[out] = 0;
    return true;
}

bool Utf8ToUtf16(const char* src, char16_t* dst, size_t capacity) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    size_t out = 0;
    while (*s) {
        uint32_t cp;
        int extra;
        if (*s < 0x80) {
            cp = *s;
            extra = 0;
        } else if ((*s & 0xE0) == 0xC0) {
            cp = *s & 0x1F;
            extra = 1;
        } else if ((*s & 0xF0) == 0xE0) {
            cp = *s & 0x0F;
            extra = 2;
        } else if ((*s & 0xF8) == 0xF0) {
            cp = *s & 0x07;
            extra = 3;
        } else {
            cp = 0xFFFD;
            extra = -1;
        }
        ++s;
        for (int k = 0; k < extra; ++k) {
            if ((*s & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (*s & 0x3F);
            ++s;
        }
        if (extra < 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        size_t need = cp >= 0x10000 ? 2 : 1;
        if (out + need + 1 > capacity) {
            if (capacity) dst[0] = 0;
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            dst[out++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            dst[out++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            dst[out++] = static_cast<char16_t>(cp);
        }
    }
    if (capacity == 0) return false;
    dst[out] = 0;
    return true;
}
