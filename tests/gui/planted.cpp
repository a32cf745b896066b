// Stands for a program or a library someone put beside norvale.exe (in the
// Downloads folder it was run from): when it runs, or is loaded, it appends
// its own path to the file that NORVALE_TEST_MARKER names. Built as a
// program and as a library.
#include <windows.h>

namespace {

void Mark(HMODULE self) {
    wchar_t marker[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"NORVALE_TEST_MARKER", marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t own[MAX_PATH];
    DWORD ownLength = GetModuleFileNameW(self, own, MAX_PATH);
    char text[MAX_PATH * 3 + 2];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, own, static_cast<int>(ownLength), text, MAX_PATH * 3, nullptr, nullptr);
    text[bytes++] = '\n';
    HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

#ifdef NORVALE_PLANTED_LIBRARY
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Mark(self);
    return TRUE;
}
#else
int wmain() {
    Mark(nullptr);
    return 0;
}
#endif
