#include "platform/expand.h"

bool ExpandReferences(const char16_t* source, char16_t* dst, uint32_t capacity, VariableLookup lookup, void* context) {
    if (!dst || capacity == 0) return false;
    dst[0] = 0;
    if (!source) return false;
    uint32_t out = 0;
    auto put = [&](const char16_t* from, const char16_t* to) {
        for (; to ? from < to : *from != 0; ++from) {
            if (out + 1 >= capacity) return false;
            dst[out++] = *from;
        }
        return true;
    };
    const char16_t* p = source;
    while (*p) {
        const char16_t* close = nullptr;
        if (*p == u'%') {
            for (const char16_t* q = p + 1; *q; ++q) {
                if (*q == u'%') {
                    close = q;
                    break;
                }
            }
        }
        if (!close || close == p + 1) {
            if (!put(p, p + 1)) break;
            ++p;
            continue;
        }
        char16_t name[256];
        const char16_t* value = nullptr;
        if (close - p - 1 < 256) {
            int length = static_cast<int>(close - p - 1);
            for (int i = 0; i < length; ++i) name[i] = p[1 + i];
            name[length] = 0;
            value = lookup(name, context);
        }
        if (value) {
            if (!put(value, nullptr)) break;
            p = close + 1;
        } else {
            // The closing '%' may open the next reference, as on Windows.
            if (!put(p, close)) break;
            p = close;
        }
    }
    if (*p) {
        dst[0] = 0;
        return false;
    }
    dst[out] = 0;
    return true;
}
