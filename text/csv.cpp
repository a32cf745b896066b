#include "text/csv.h"

namespace {

void PutUtf8(std::string* out, char32_t cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool NeedsQuotes(const std::u16string& field) {
    return field.find_first_of(u"\",\r\n") != std::u16string::npos;
}

void PutField(std::string* out, const std::u16string& field) {
    const bool quoted = NeedsQuotes(field);
    if (quoted) out->push_back('"');
    for (size_t i = 0; i < field.size(); ++i) {
        char32_t cp = field[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < field.size() && field[i + 1] >= 0xDC00 && field[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (field[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp == u'"') out->push_back('"');
        PutUtf8(out, cp);
    }
    if (quoted) out->push_back('"');
}

}  // namespace

void CsvAppendRow(std::string* out, const std::u16string* fields, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (i) out->push_back(',');
        PutField(out, fields[i]);
    }
    out->append("\r\n");
}
