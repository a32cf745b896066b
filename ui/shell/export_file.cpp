#include "ui/shell/export_file.h"

#include "text/format.h"
#include "text/text16.h"
#include "text/time_text.h"

#include <commdlg.h>

#include <new>
#include <string>

namespace {

// The local calendar time of a FILETIME and its distance from UTC in
// minutes, by the rules of the zone on that day (not today's bias).
bool LocalTimeOf(uint64_t filetime, CivilTime* local, int32_t* offsetMinutes) {
    const FILETIME utcTime = {static_cast<DWORD>(filetime), static_cast<DWORD>(filetime >> 32)};
    SYSTEMTIME utc, zoned;
    FILETIME back;
    if (!filetime || !FileTimeToSystemTime(&utcTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &zoned) ||
        !SystemTimeToFileTime(&zoned, &back))
        return false;
    const uint64_t localTicks = (static_cast<uint64_t>(back.dwHighDateTime) << 32) | back.dwLowDateTime;
    // The local count lost the time below a millisecond: round to the minute.
    const int64_t difference = static_cast<int64_t>(localTicks - filetime);
    const int64_t minute = 600000000;
    *offsetMinutes = static_cast<int32_t>((difference + (difference < 0 ? -minute / 2 : minute / 2)) / minute);
    *local = CivilTime{zoned.wYear, zoned.wMonth, zoned.wDay, zoned.wHour, zoned.wMinute, zoned.wSecond};
    return true;
}

// The file's form of a time: local, ISO 8601 with the offset.
void IsoLocalTime(uint64_t filetime, char16_t* out) {
    CivilTime local;
    int32_t offset = 0;
    out[0] = 0;
    if (LocalTimeOf(filetime, &local, &offset)) FormatIsoTime(local, offset, out);
}

void SayFailure(HWND owner, const wchar_t* target, DWORD error) {
    wchar_t* reason = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
    std::u16string because = reason ? Text16(reason) : u"";
    if (reason) LocalFree(reason);
    while (!because.empty() && (because.back() == u'\r' || because.back() == u'\n' || because.back() == u' '))
        because.pop_back();
    char16_t text[1024];
    FormatText(text, 1024, u"无法导出到 %s\n\n%s（错误 %d）", Text16(target), because.c_str(), static_cast<int32_t>(error));
    MessageBoxW(owner, WideText(text), L"导出失败", MB_OK | MB_ICONERROR);
}

// Writes bytes to target through a temporary file beside it; the system's
// error code on failure, the temporary file gone.
DWORD WriteReplacing(const std::wstring& target, const std::string& bytes) {
    char16_t suffix[40];
    FormatText(suffix, 40, u".%d.tmp", static_cast<int32_t>(GetCurrentProcessId()));
    const std::wstring temporary = target + WideText(suffix);
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = 0;
    for (size_t done = 0; done < bytes.size() && !error;) {
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done > (1u << 20) ? (1u << 20) : bytes.size() - done);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            error = GetLastError();
            if (!error) error = ERROR_WRITE_FAULT;  // nothing written, and no reason given
        }
        done += written;
    }
    if (!error && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && !error) error = GetLastError();
    if (!error && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) DeleteFileW(temporary.c_str());
    return error;
}

}  // namespace

void FormatModifiedTime(uint64_t filetime, char16_t* out) {
    out[0] = 0;
    CivilTime local;
    int32_t offset;
    if (LocalTimeOf(filetime, &local, &offset)) FormatListTime(local, out);
}

bool ExportRowsAsCsv(HWND owner, const wchar_t* suggestedName, const std::vector<ExportRow>& rows) {
    wchar_t path[1024];
    lstrcpynW(path, suggestedName, 1024);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"CSV 文件 (*.csv)\0*.csv\0所有文件 (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = 1024;
    dialog.lpstrTitle = L"导出";
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return false;
    std::string bytes;
    try {
        bytes = ExportCsv(rows, IsoLocalTime);
    } catch (const std::bad_alloc&) {
        SayFailure(owner, path, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const DWORD error = WriteReplacing(path, bytes);
    if (error) SayFailure(owner, path, error);
    return error == 0;
}
