#include "platform/system_win32.h"

#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

// LoadLibraryExW's flags, spelled out: older SDK headers lack them.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    return (length == 0 || length >= MAX_PATH) ? std::wstring() : std::wstring(path, length);
}

// Libraries that the system's own libraries load on demand (the common
// controls load the theme library, which loads msimg32; the user32 of some
// systems loads imm32 and version). Where such a load ignores the search
// limit (Windows 7 before KB2533623, Wine's resolution of a system library's
// delay-loaded imports), the program's folder would be searched first.
// Loaded here from System32 by its full path, each is then found loaded by
// name and never searched for.
const wchar_t* const kPreloaded[] = {L"version.dll", L"imm32.dll",  L"uxtheme.dll", L"msimg32.dll", L"dwmapi.dll",
                                     L"userenv.dll", L"profapi.dll", L"cryptbase.dll", L"winmm.dll", L"wtsapi32.dll",
                                     L"setupapi.dll", L"shcore.dll", L"propsys.dll"};

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
    for (const wchar_t* name : kPreloaded) LoadSystemLibrary(name);
}

namespace {

HANDLE g_hOwnImage = INVALID_HANDLE_VALUE;

bool FileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return GetFileInformationByHandle(file, info) != FALSE;
}

// The headers are mapped as the file holds them and never written: a file
// whose first SizeOfHeaders bytes differ is not the image that runs.
bool HeadersMatchImage(HANDLE file) {
    const BYTE* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!base || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
    const DWORD size = nt->OptionalHeader.SizeOfHeaders;
    if (size == 0 || size > 0x10000) return false;
    std::string bytes(size, '\0');
    DWORD read = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !ReadFile(file, &bytes[0], size, &read, nullptr) ||
        read != size)
        return false;
    return memcmp(bytes.data(), base, size) == 0;
}

}  // namespace

void HoldOwnImage() {
    if (g_hOwnImage != INVALID_HANDLE_VALUE) return;
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    // Read access makes the sharing rule bite: no one may then open the file
    // to write, rename or delete it while this handle lives.
    HANDLE file = CreateFileW(path, FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    if (!HeadersMatchImage(file)) {
        CloseHandle(file);
        return;
    }
    g_hOwnImage = file;
}

bool OwnImageIsAt(const wchar_t* path) {
    if (g_hOwnImage == INVALID_HANDLE_VALUE || !path) return false;
    HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION held, now;
    const bool same = FileIdentity(g_hOwnImage, &held) && FileIdentity(file, &now) &&
                      held.dwVolumeSerialNumber == now.dwVolumeSerialNumber &&
                      held.nFileIndexHigh == now.nFileIndexHigh && held.nFileIndexLow == now.nFileIndexLow;
    CloseHandle(file);
    return same;
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
