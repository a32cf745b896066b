#include "uimodel/system_output.h"

#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, size_t length, const char* b) {
    if (std::strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// The line's text left and right of its first ':' with the blanks around
// each trimmed. False when the line has no ':'.
bool SplitField(const std::string& line, std::string* label, std::string* value) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) return false;
    size_t begin = 0, end = colon;
    while (begin < end && IsBlank(line[begin])) ++begin;
    while (end > begin && IsBlank(line[end - 1])) --end;
    *label = line.substr(begin, end - begin);
    begin = colon + 1;
    end = line.size();
    while (begin < end && IsBlank(line[begin])) ++begin;
    while (end > begin && (IsBlank(line[end - 1]) || line[end - 1] == '\r')) --end;
    *value = line.substr(begin, end - begin);
    return true;
}

bool FindField(const ToolLines& lines, const char* name, std::string* value) {
    std::string label;
    for (const std::string& line : lines)
        if (SplitField(line, &label, value) && EqualNoCase(label.data(), label.size(), name)) return true;
    return false;
}

bool FindSize(const ToolLines& lines, const char* name, uint64_t* bytes) {
    std::string value;
    return FindField(lines, name, &value) && ParseDismSize(value.c_str(), bytes);
}

bool ParseCount(const std::string& text, int32_t* count) {
    if (text.empty() || text.size() > 9) return false;
    int32_t n = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        n = n * 10 + (c - '0');
    }
    *count = n;
    return true;
}

bool StartsWith(const std::string& line, const char* prefix) {
    size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    return line.compare(at, std::strlen(prefix), prefix) == 0;
}

bool IsBlankLine(const std::string& line) {
    for (char c : line)
        if (!IsBlank(c) && c != '\r') return false;
    return true;
}

}  // namespace

bool ParseDismSize(const char* text, uint64_t* bytes) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    if (!IsDigit(*p)) return false;
    uint64_t whole = 0;
    int digits = 0;
    for (; IsDigit(*p); ++p) {
        if (++digits > 15) return false;
        whole = whole * 10 + static_cast<uint64_t>(*p - '0');
    }
    uint64_t fraction = 0, scale = 1;
    if ((*p == '.' || *p == ',') && IsDigit(p[1])) {
        for (++p; IsDigit(*p); ++p) {
            if (scale >= 1000000) return false;
            fraction = fraction * 10 + static_cast<uint64_t>(*p - '0');
            scale *= 10;
        }
    }
    if (!IsBlank(*p)) return false;
    while (IsBlank(*p)) ++p;
    const char* unit = p;
    while (*p && !IsBlank(*p) && *p != '\r') ++p;
    const size_t unitLength = static_cast<size_t>(p - unit);
    while (IsBlank(*p) || *p == '\r') ++p;
    if (*p) return false;
    uint64_t multiplier;
    if (EqualNoCase(unit, unitLength, "bytes") || EqualNoCase(unit, unitLength, "byte"))
        multiplier = 1;
    else if (EqualNoCase(unit, unitLength, "KB"))
        multiplier = 1ull << 10;
    else if (EqualNoCase(unit, unitLength, "MB"))
        multiplier = 1ull << 20;
    else if (EqualNoCase(unit, unitLength, "GB"))
        multiplier = 1ull << 30;
    else if (EqualNoCase(unit, unitLength, "TB"))
        multiplier = 1ull << 40;
    else
        return false;
    if (multiplier == 1 && scale != 1) return false;  // a fraction of a byte is no DISM output
    if (whole > (~0ull >> 1) / multiplier) return false;
    // Rounded to the nearest byte: "7.85 GB" stands for 7.85 × 2^30.
    *bytes = whole * multiplier + (fraction * multiplier + scale / 2) / scale;
    return true;
}

ComponentStoreReport ParseComponentStoreReport(const ToolLines& lines) {
    ComponentStoreReport report = {};
    std::string recommended, packages;
    const bool all = FindSize(lines, "Windows Explorer Reported Size of Component Store", &report.explorerSize) &&
                     FindSize(lines, "Actual Size of Component Store", &report.actualSize) &&
                     FindSize(lines, "Shared with Windows", &report.shared) &&
                     FindSize(lines, "Backups and Disabled Features", &report.backups) &&
                     FindSize(lines, "Cache and Temporary Data", &report.cache) &&
                     FindField(lines, "Number of Reclaimable Packages", &packages) &&
                     ParseCount(packages, &report.reclaimablePackages) &&
                     FindField(lines, "Component Store Cleanup Recommended", &recommended) &&
                     (recommended == "Yes" || recommended == "No");
    if (!all) return ComponentStoreReport{};
    report.recommended = recommended == "Yes";
    report.ok = true;
    return report;
}

ReservedStorageState ParseReservedStorageState(const ToolLines& lines) {
    ReservedStorageState state = RESERVED_UNREADABLE;
    int found = 0;
    for (const std::string& line : lines) {
        if (StartsWith(line, "Reserved storage is enabled.")) {
            state = RESERVED_ENABLED;
            ++found;
        } else if (StartsWith(line, "Reserved storage is disabled.")) {
            state = RESERVED_DISABLED;
            ++found;
        }
    }
    // Both, or either twice, is no answer this code knows.
    return found == 1 ? state : RESERVED_UNREADABLE;
}

int32_t ParseDismProgress(const char* line) {
    const char* p = line;
    while (IsBlank(*p)) ++p;
    if (*p != '[') return -1;
    const char* close = std::strchr(p, ']');
    const char* percent = std::strchr(p, '%');
    if (!close || !percent || percent > close) return -1;
    const char* start = percent;
    while (start > p + 1 && (IsDigit(start[-1]) || start[-1] == '.')) --start;
    if (start == percent || !IsDigit(*start)) return -1;
    if (start[-1] != ' ' && start[-1] != '=' && start[-1] != '[') return -1;  // "4x0.0%" is no figure
    int32_t whole = 0, tenths = 0;
    const char* q = start;
    for (; IsDigit(*q) && whole <= 100; ++q) whole = whole * 10 + (*q - '0');
    if (*q == '.') {
        ++q;
        if (IsDigit(*q)) tenths = *q++ - '0';
        while (IsDigit(*q)) ++q;
    }
    if (q != percent || whole > 100) return -1;
    const int32_t value = whole * 10 + tenths;
    return value > 1000 ? -1 : value;
}

int32_t ToolMessageLine(const ToolLines& lines) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWith(lines[i], "Error:")) continue;
        for (size_t j = i + 1; j < lines.size(); ++j)
            if (!IsBlankLine(lines[j])) return static_cast<int32_t>(j);
        break;
    }
    for (size_t i = lines.size(); i-- > 0;) {
        if (IsBlankLine(lines[i]) || ParseDismProgress(lines[i].c_str()) >= 0 ||
            StartsWith(lines[i], "The DISM log file can be found at"))
            continue;
        return static_cast<int32_t>(i);
    }
    return -1;
}

void SplitToolOutput(LineSplitter* splitter, const char* bytes, size_t count, LineSink sink, void* context) {
    for (size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c == '\n' && splitter->afterReturn) {
            splitter->afterReturn = false;
            continue;
        }
        splitter->afterReturn = c == '\r';
        if (c == '\r' || c == '\n') {
            sink(splitter->pending, context);
            splitter->pending.clear();
        } else if (splitter->pending.size() < 4096) {  // a runaway line is cut, not grown without end
            splitter->pending += c;
        }
    }
}

void FinishToolOutput(LineSplitter* splitter, LineSink sink, void* context) {
    if (!splitter->pending.empty()) sink(splitter->pending, context);
    splitter->pending.clear();
    splitter->afterReturn = false;
}
