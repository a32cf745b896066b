#include "platform/system_win32.h"

#include <shlobj.h>

#include <string>

namespace {

// LoadLibraryExW's flags, spelled out: older SDK headers lack them.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return (length == 0 || length >= MAX_PATH) ? std::wstring() : std::wstring(path, length);
}

}  // namespace

void RestrictLibrarySearch() {
    typedef BOOL(WINAPI * SetDirectories)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SetDirectories set = kernel ? reinterpret_cast<SetDirectories>(
                                      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                : nullptr;
    if (set) set(kSearchSystem32);
    // Without it (Windows 7 before KB2533623) the program's folder stays out
    // of the search for the libraries loaded here, by their full path.
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, kSearchSystem32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // The flag is unknown to this system: the full path says the same.
    std::wstring folder = SystemFolder();
    return folder.empty() ? nullptr : LoadLibraryW((folder + L"\\" + name).c_str());
}

bool StartSystemProgram(const wchar_t* program, const wchar_t* commandLine) {
    std::wstring folder = SystemFolder();
    if (folder.empty()) return false;
    std::wstring application = folder + L"\\" + program;
    std::wstring command = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return false;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return true;
}

bool OpenFolderSelecting(const wchar_t* path) {
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(path, nullptr, &item, 0, nullptr)) || !item) return false;
    // With no children the ID list is the item itself: its folder opens
    // with it selected.
    HRESULT result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    CoTaskMemFree(item);
    return SUCCEEDED(result);
}
