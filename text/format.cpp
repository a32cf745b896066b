#include "text/format.h"
#include "text/text16.h"

#include <atomic>

#include <cstdio>

namespace {

// Appends to a bounded destination, remembering whether anything was cut.
struct Sink {
    char16_t* dst;
    int capacity;
    int length;
    bool overflow;

    void Put(char16_t c) {
        if (length + 1 < capacity) {
            dst[length++] = c;
        } else {
            overflow = true;
        }
    }
    void PutAscii(const char* text) {
        while (*text && !overflow) Put(static_cast<char16_t>(*text++));
    }
};

void PutUnsigned(Sink& sink, unsigned long long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (n > 0 && !sink.overflow) sink.Put(static_cast<char16_t>(digits[--n]));
}

void PutFixed2(Sink& sink, double value) {
    // The C library rounds exactly as "%.2f" does; the program never sets a
    // locale, but a ',' separator is turned back into '.' all the same.
    char text[400];
    int n = std::snprintf(text, sizeof text, "%.2f", value);
    if (n < 0 || n >= static_cast<int>(sizeof text)) {
        sink.overflow = true;
        return;
    }
    for (int i = 0; i < n; ++i) {
        if (text[i] == ',') text[i] = '.';
    }
    sink.PutAscii(text);
}

void PutPointer(Sink& sink, const void* pointer) {
    uintptr_t value = reinterpret_cast<uintptr_t>(pointer);
    static const char kHex[] = "0123456789ABCDEF";
    for (int shift = static_cast<int>(sizeof value * 8) - 4; shift >= 0; shift -= 4) {
        sink.Put(static_cast<char16_t>(kHex[(value >> shift) & 0xF]));
    }
}

}  // namespace

int FormatTextV(char16_t* dst, int capacity, const char16_t* format, va_list args) {
    if (!dst || capacity <= 0) return -1;
    if (!format) {
        dst[0] = 0;
        return -1;
    }
    Sink sink{dst, capacity, 0, false};
    for (const char16_t* f = format; *f && !sink.overflow; ++f) {
        if (*f != u'%') {
            sink.Put(*f);
            continue;
        }
        ++f;
        switch (*f) {
        case u'%':
            sink.Put(u'%');
            break;
        case u's': {
            const char16_t* text = va_arg(args, const char16_t*);
            if (!text) text = u"(null)";
            while (*text && !sink.overflow) sink.Put(*text++);
            break;
        }
        case u'c':
            sink.Put(static_cast<char16_t>(va_arg(args, int)));
            break;
        case u'd': {
            int32_t value = va_arg(args, int32_t);
            unsigned long long magnitude = static_cast<unsigned long long>(value);
            if (value < 0) {
                sink.Put(u'-');
                magnitude = 0ull - magnitude;
                magnitude &= 0xFFFFFFFFull;
            }
            PutUnsigned(sink, magnitude);
            break;
        }
        case u'l':
            if (f[1] != u'l' || f[2] != u'u') {
                dst[0] = 0;
                return -1;
            }
            f += 2;
            PutUnsigned(sink, va_arg(args, unsigned long long));
            break;
        case u'p':
            PutPointer(sink, va_arg(args, const void*));
            break;
        case u'.':
            if (f[1] != u'2' || f[2] != u'f') {
                dst[0] = 0;
                return -1;
            }
            f += 2;
            PutFixed2(sink, va_arg(args, double));
            break;
        default:  // includes a lone '%' at the end
            dst[0] = 0;
            return -1;
        }
    }
    if (sink.overflow) {
        dst[0] = 0;
        return -1;
    }
    dst[sink.length] = 0;
    return sink.length;
}

int FormatText(char16_t* dst, int capacity, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return result;
}

void FormatSize(uint64_t bytes, char16_t* out) {
    if (!out) return;
    // The conversion to double keeps values of 2^63 and more positive.
    double value = static_cast<double>(bytes);
    if (bytes >= (1ull << 30)) {
        FormatText(out, kSizeTextUnits, u"%.2f GB", value * (1.0 / 1073741824.0));
    } else if (bytes >= (1ull << 20)) {
        FormatText(out, kSizeTextUnits, u"%.2f MB", value * (1.0 / 1048576.0));
    } else if (bytes >= 1024) {
        FormatText(out, kSizeTextUnits, u"%.2f KB", value * (1.0 / 1024.0));
    } else {
        FormatText(out, kSizeTextUnits, u"%llu B", static_cast<unsigned long long>(bytes));
    }
}

int FormatGrouped(uint64_t value, const char16_t* separator, const char* grouping, char16_t* out, int capacity) {
    if (!out || capacity <= 0) return -1;
    out[0] = 0;
    if (!separator) separator = u"";
    size_t separatorUnits = 0;
    while (separator[separatorUnits]) ++separatorUnits;
    // A uint64 has at most 20 digits, so at most 19 groups matter.
    int sizes[20];
    int sizeCount = 0;
    bool repeat = false;
    for (const char* at = grouping ? grouping : ""; *at && sizeCount < 20;) {
        int size = 0;
        while (*at >= '0' && *at <= '9') size = size * 10 + (*at++ - '0');
        if (*at == ';') ++at;
        else if (*at) break;  // anything else ends the list
        if (size == 0) {
            repeat = sizeCount > 0;
            break;
        }
        sizes[sizeCount++] = size;
    }
    if (separatorUnits > 4) sizeCount = 0;
    // Built backwards: 20 digits and at most 19 separators of up to 4 units.
    char16_t reversed[20 + 19 * 4];
    int written = 0, group = 0, inGroup = 0;
    do {
        const int size = group < sizeCount ? sizes[group] : repeat ? sizes[sizeCount - 1] : 0;
        if (size > 0 && inGroup == size) {
            for (size_t i = separatorUnits; i-- > 0;) reversed[written++] = separator[i];
            ++group;
            inGroup = 0;
        }
        reversed[written++] = static_cast<char16_t>(u'0' + value % 10);
        ++inGroup;
        value /= 10;
    } while (value > 0);
    if (written >= capacity) return -1;
    for (int i = 0; i < written; ++i) out[i] = reversed[written - 1 - i];
    out[written] = 0;
    return written;
}

namespace {

std::atomic<TraceSink> g_traceSink{nullptr};

}  // namespace

void SetTraceSink(TraceSink sink) { g_traceSink.store(sink, std::memory_order_release); }

void Trace(const char16_t* format, ...) {
    TraceSink sink = g_traceSink.load(std::memory_order_acquire);
    if (!sink || !format) return;
    constexpr int kUnits = 512;
    char16_t line[kUnits];
    va_list args;
    va_start(args, format);
    int length = FormatTextV(line, kUnits, format, args);
    va_end(args);
    // A line that does not fit, or a bad format: the format itself, cut to fit.
    if (length < 0) Text16CopyTruncated(line, kUnits, format);
    sink(line);
}
