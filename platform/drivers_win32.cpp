// Driver packages through the Setup API, loaded from the system folder when
// first needed (setupapi.dll is not imported: see system_win32.h).
#include "platform/fs.h"

#include "platform/system_win32.h"
#include "text/text16.h"

#include <windows.h>

#include <string>

namespace {

// setupapi.h's values, spelled out: not every SDK's header has them.
const DWORD kInfStyleWin4 = 2;
const DWORD kInfInUseByDevices = 0xE000023Du;  // ERROR_INF_IN_USE_BY_DEVICES

struct InfContext {
    void* inf;
    void* currentInf;
    UINT section;
    UINT line;
};

typedef HANDLE(WINAPI* OpenInf)(PCWSTR, PCWSTR, DWORD, PUINT);
typedef void(WINAPI* CloseInf)(HANDLE);
typedef BOOL(WINAPI* FindLine)(HANDLE, PCWSTR, PCWSTR, InfContext*);
typedef BOOL(WINAPI* StringField)(InfContext*, DWORD, PWSTR, DWORD, PDWORD);
typedef BOOL(WINAPI* LineText)(InfContext*, HANDLE, PCWSTR, PCWSTR, PWSTR, DWORD, PDWORD);
typedef BOOL(WINAPI* StoreLocation)(PCWSTR, const void*, PCWSTR, PWSTR, DWORD, PDWORD);
typedef BOOL(WINAPI* UninstallInf)(PCWSTR, DWORD, PVOID);

struct SetupCalls {
    OpenInf open;
    CloseInf close;
    FindLine findLine;
    StringField field;
    LineText lineText;
    StoreLocation storeLocation;  // Windows Vista and later
    UninstallInf uninstall;
};

const SetupCalls& Setup() {
    static const SetupCalls calls = [] {
        SetupCalls found = {};
        HMODULE setup = LoadSystemLibrary(L"setupapi.dll");
        if (!setup) return found;
        auto get = [setup](const char* name) { return reinterpret_cast<void*>(GetProcAddress(setup, name)); };
        found.open = reinterpret_cast<OpenInf>(get("SetupOpenInfFileW"));
        found.close = reinterpret_cast<CloseInf>(get("SetupCloseInfFile"));
        found.findLine = reinterpret_cast<FindLine>(get("SetupFindFirstLineW"));
        found.field = reinterpret_cast<StringField>(get("SetupGetStringFieldW"));
        found.lineText = reinterpret_cast<LineText>(get("SetupGetLineTextW"));
        found.storeLocation = reinterpret_cast<StoreLocation>(get("SetupGetInfDriverStoreLocationW"));
        found.uninstall = reinterpret_cast<UninstallInf>(get("SetupUninstallOEMInfW"));
        return found;
    }();
    return calls;
}

void Copy(char16_t* out, size_t capacity, const wchar_t* text) { Text16CopyTruncated(out, capacity, Text16(text)); }

// The first field of [Version] key, with the INF's strings substituted.
void VersionField(const SetupCalls& setup, HANDLE inf, const wchar_t* key, char16_t* out, size_t capacity) {
    InfContext context;
    wchar_t text[260] = L"";
    if (setup.findLine(inf, L"Version", key, &context)) setup.field(&context, 1, text, 260, nullptr);
    Copy(out, capacity, text);
}

bool ReadPackage(const SetupCalls& setup, const std::wstring& path, const wchar_t* name, FsDriverPackage* package) {
    *package = FsDriverPackage{};
    Copy(package->published, 32, name);
    HANDLE inf = setup.open(path.c_str(), nullptr, kInfStyleWin4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return false;
    VersionField(setup, inf, L"Provider", package->provider, 128);
    VersionField(setup, inf, L"ClassGuid", package->driverClass, 64);
    if (!package->driverClass[0]) VersionField(setup, inf, L"Class", package->driverClass, 64);
    InfContext context;
    wchar_t text[64] = L"";
    if (setup.findLine(inf, L"Version", L"DriverVer", &context))
        setup.lineText(&context, nullptr, nullptr, nullptr, text, 64, nullptr);
    Copy(package->driverVer, 64, text);
    setup.close(inf);
    // The store keeps the INF under its original name, in the package's folder.
    wchar_t store[MAX_PATH] = L"";
    if (setup.storeLocation && setup.storeLocation(path.c_str(), nullptr, nullptr, store, MAX_PATH, nullptr)) {
        std::wstring location = store;
        size_t split = location.rfind(L'\\');
        if (split != std::wstring::npos) {
            Copy(package->original, 64, location.c_str() + split + 1);
            Copy(package->storeFolder, 260, location.substr(0, split).c_str());
        }
    }
    return true;
}

}  // namespace

int FsListDriverPackages(FsDriverPackage* out, int capacity) {
    const SetupCalls& setup = Setup();
    if (!setup.open || !setup.close || !setup.findLine || !setup.field || !setup.lineText) return 0;
    char16_t windows[MAX_PATH];
    if (!FsSystemFolderPath(FS_FOLDER_WINDOWS, windows, MAX_PATH)) return -1;
    const std::wstring folder = std::wstring(WideText(windows)) + L"\\INF\\";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"oem*.inf").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? 0 : -1;
    }
    int count = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (count < capacity && ReadPackage(setup, folder + data.cFileName, data.cFileName, &out[count])) ++count;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

bool FsRemoveDriverPackage(const char16_t* published) {
    const SetupCalls& setup = Setup();
    if (!setup.uninstall) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    // Without SUOI_FORCEDELETE: the system keeps a package a device uses.
    if (setup.uninstall(WideText(published), 0, nullptr)) return true;
    if (GetLastError() == kInfInUseByDevices) SetLastError(ERROR_SHARING_VIOLATION);
    return false;
}
