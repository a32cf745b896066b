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

namespace {

template <typename Call>
Call ShellEntry(const char* name) {
    static const HMODULE shell = LoadSystemLibrary(L"shell32.dll");
    FARPROC entry = shell ? GetProcAddress(shell, name) : nullptr;
    if (!entry) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<Call>(reinterpret_cast<void*>(entry));
}

}  // namespace

HRESULT ShellKnownFolderPath(const GUID& id, DWORD flags, PWSTR* path) {
    typedef HRESULT(WINAPI * Call)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    static const Call call = ShellEntry<Call>("SHGetKnownFolderPath");
    *path = nullptr;
    return call ? call(id, flags, nullptr, path) : E_NOTIMPL;
}

HRESULT ShellEmptyRecycleBin(HWND owner, const wchar_t* root, DWORD flags) {
    typedef HRESULT(WINAPI * Call)(HWND, LPCWSTR, DWORD);
    static const Call call = ShellEntry<Call>("SHEmptyRecycleBinW");
    return call ? call(owner, root, flags) : E_NOTIMPL;
}

BOOL ShellExecuteExLate(SHELLEXECUTEINFOW* info) {
    typedef BOOL(WINAPI * Call)(SHELLEXECUTEINFOW*);
    static const Call call = ShellEntry<Call>("ShellExecuteExW");
    return call ? call(info) : FALSE;
}

BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAW* data) {
    typedef BOOL(WINAPI * Call)(DWORD, NOTIFYICONDATAW*);
    static const Call call = ShellEntry<Call>("Shell_NotifyIconW");
    return call ? call(message, data) : FALSE;
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
    typedef HRESULT(WINAPI * Parse)(PCWSTR, IBindCtx*, PIDLIST_ABSOLUTE*, SFGAOF, SFGAOF*);
    typedef HRESULT(WINAPI * Open)(PCIDLIST_ABSOLUTE, UINT, PCUITEMID_CHILD_ARRAY, DWORD);
    static const Parse parse = ShellEntry<Parse>("SHParseDisplayName");
    static const Open open = ShellEntry<Open>("SHOpenFolderAndSelectItems");
    PIDLIST_ABSOLUTE item = nullptr;
    if (!parse || !open || FAILED(parse(path, nullptr, &item, 0, nullptr)) || !item) return false;
    // With no children the ID list is the item itself: its folder opens
    // with it selected.
    HRESULT result = open(item, 0, nullptr, 0);
    CoTaskMemFree(item);
    return SUCCEEDED(result);
}
