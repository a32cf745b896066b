#include "text/wildcard.h"

static char16_t FoldCase(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

bool WildcardMatch(const char16_t* pattern, const char16_t* name) {
    // Iterative matcher with one backtrack point: linear for a single '*',
    // never exponential.
    const char16_t* starPattern = nullptr;
    const char16_t* starName = nullptr;
    while (*name) {
        if (*pattern == u'*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == u'?' || (*pattern && FoldCase(*pattern) == FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == u'*') ++pattern;
    return *pattern == 0;
}

int SplitSearchPattern(const char16_t* search) {
    int last = -1;
    for (int i = 0; search[i]; ++i) {
        if (search[i] == u'\\' || search[i] == u'/') last = i;
    }
    return last;
}
