// Stands for powercfg.exe and Dism.exe in the GUI tests, copied under those
// names into the Wine prefix's system folder. It appends its own path and
// its command line to calls.txt in the folder NORVALE_TEST_TOOLS names,
// prints that folder's fixture for the command (KEY.txt; with a file "slow"
// holding a number of milliseconds there, piece by piece at each '\r' or
// '\n' with that pause after each), does what the real tool would
// do to the files and settings the page reads, and exits with the code in
// KEY.code (decimal or 0x…; 0 without one).
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring g_folder;

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

bool ReadAll(const std::wstring& path, std::string* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

void Append(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void SetPower(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Power", name, REG_DWORD, &value,
                    sizeof value);
}

const wchar_t* KeyOf(const std::wstring& line) {
    struct Entry {
        const wchar_t* argument;
        const wchar_t* key;
    } const entries[] = {
        {L"/AnalyzeComponentStore", L"analyze"},       {L"/StartComponentCleanup", L"cleanup"},
        {L"/Get-ReservedStorageState", L"reserved-get"}, {L"/Set-ReservedStorageState", L"reserved-set"},
        {L"/hibernate /type reduced", L"hibernate-reduced"}, {L"/hibernate off", L"hibernate-off"},
    };
    for (const Entry& e : entries)
        if (line.find(e.argument) != std::wstring::npos) return e.key;
    return L"other";
}

}  // namespace

int wmain() {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"NORVALE_TEST_TOOLS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 99;
    g_folder = folder;
    wchar_t self[MAX_PATH];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring line = GetCommandLineW();
    Append(g_folder + L"\\calls.txt", Utf8(std::wstring(self, selfLength)) + "\t" + Utf8(line) + "\n");

    const std::wstring key = KeyOf(line);
    std::string output;
    ReadAll(g_folder + L"\\" + key + L".txt", &output);
    std::string slow;
    const bool pieces = ReadAll(g_folder + L"\\slow", &slow);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t from = 0;
    while (from < output.size()) {
        size_t to = pieces ? output.find_first_of("\r\n", from) : std::string::npos;
        to = to == std::string::npos ? output.size() : to + 1;
        DWORD written = 0;
        WriteFile(out, output.data() + from, static_cast<DWORD>(to - from), &written, nullptr);
        from = to;
        if (pieces) Sleep(static_cast<DWORD>(std::strtoul(slow.c_str(), nullptr, 10)));
    }

    std::string code;
    unsigned long exitCode = 0;
    if (ReadAll(g_folder + L"\\" + key + L".code", &code)) exitCode = std::strtoul(code.c_str(), nullptr, 0);
    if (exitCode == 0) {
        // What powercfg does to what the page reads: the setting, and the file.
        if (key == L"hibernate-off") {
            SetPower(L"HibernateEnabled", 0);
            DeleteFileW(L"C:\\hiberfil.sys");
        } else if (key == L"hibernate-reduced") {
            SetPower(L"HiberFileType", 1);
        }
    }
    return static_cast<int>(exitCode);
}
