#include "platform/system_tools.h"

#include <string>

namespace {

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return (length == 0 || length >= MAX_PATH) ? std::wstring() : std::wstring(path, length);
}

int32_t ReadPowerValue(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    const LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Power", name,
                                        RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS && value <= 0x7FFFFFFF ? static_cast<int32_t>(value) : -1;
}

}  // namespace

bool RunSystemTool(const wchar_t* program, const wchar_t* arguments, ToolOutputSink sink, void* context,
                   uint32_t* exitCode, uint32_t* error) {
    *exitCode = 0;
    *error = 0;
    const std::wstring folder = SystemFolder();
    if (folder.empty()) {
        *error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
    }
    const std::wstring application = folder + L"\\" + program;
    std::wstring command = L"\"" + application + L"\" " + arguments;  // CreateProcessW may write into it

    // Only these two handles are made inheritable, and only one tool runs at
    // a time: the child gets its pipe and NUL as its input, nothing else.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        *error = GetLastError();
        return false;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                               nullptr);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input != INVALID_HANDLE_VALUE ? input : nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, folder.c_str(), &startup, &info);
    const DWORD startError = GetLastError();
    // Ours closed, the pipe ends when the tool (and whatever it handed the
    // handle to) has closed its end.
    CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (!started) {
        CloseHandle(readEnd);
        *error = startError;
        return false;
    }
    CloseHandle(info.hThread);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        if (sink) sink(buffer, got, context);
    CloseHandle(readEnd);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(info.hProcess, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(info.hProcess);
    *exitCode = code;
    return true;
}

void ReadHibernationSettings(int32_t* enabled, int32_t* fileType) {
    *enabled = ReadPowerValue(L"HibernateEnabled");
    *fileType = ReadPowerValue(L"HiberFileType");
}

RootFileState RootFileSize(const wchar_t* root, const wchar_t* name, uint64_t* size) {
    *size = 0;
    const std::wstring path = std::wstring(root) + name;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ROOT_FILE_ABSENT : ROOT_FILE_UNREADABLE;
    }
    FindClose(find);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ROOT_FILE_ABSENT;
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return ROOT_FILE_FOUND;
}

bool DriveFreeBytes(const wchar_t* root, uint64_t* bytes) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free)) return false;
    *bytes = free.QuadPart;
    return true;
}
