// A small Windows console program that the GUI tests run beside Norvale to
// read what the user would see: windows, controls, list rows, dialogs and
// notification-area icons, as JSON on standard output. It only reads; all
// input comes from the X server (xdotool), as a person's would.
//
//   norvale_probe window | controls | list ID [WINDOW_CLASS] | dialogs | tray | windows CLASS | hold PATH | hold-mutex | second-start EXE
//                 | run EXE OUTFILE
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Rect(const RECT& r) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return buffer;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

HWND MainWindow() { return FindWindowW(L"NorvaleMain", nullptr); }

int Window() {
    HWND main = MainWindow();
    if (!main) {
        std::printf("{\"found\":0}\n");
        return 0;
    }
    RECT outer, client;
    GetWindowRect(main, &outer);
    GetClientRect(main, &client);
    POINT origin = {0, 0};
    ClientToScreen(main, &origin);
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    std::printf("{\"found\":1,\"visible\":%d,\"iconic\":%d,\"zoomed\":%d,\"foreground\":%d,\"rect\":%s,"
                "\"client\":[%ld,%ld,%ld,%ld],\"title\":%s,\"pid\":%lu}\n",
                IsWindowVisible(main) ? 1 : 0, IsIconic(main) ? 1 : 0, IsZoomed(main) ? 1 : 0,
                GetForegroundWindow() == main ? 1 : 0,
                Rect(outer).c_str(), origin.x, origin.y, origin.x + client.right, origin.y + client.bottom,
                Json(WindowText(main)).c_str(), pid);
    return 0;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM first) {
    RECT r;
    GetWindowRect(child, &r);
    bool* isFirst = reinterpret_cast<bool*>(first);
    std::wstring text = WindowText(child);
    if (ClassName(child) == L"ComboBox") {
        // A drop-down list has no window text of its own: its selection shows.
        LRESULT selection = SendMessageW(child, CB_GETCURSEL, 0, 0);
        wchar_t item[256] = L"";
        if (selection >= 0 && SendMessageW(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0) < 256)
            SendMessageW(child, CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(item));
        text = item;
    }
    std::printf("%s{\"id\":%d,\"class\":%s,\"text\":%s,\"visible\":%d,\"enabled\":%d,\"rect\":%s}", *isFirst ? "" : ",",
                GetDlgCtrlID(child), Json(ClassName(child)).c_str(), Json(text).c_str(),
                IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0, Rect(r).c_str());
    *isFirst = false;
    return TRUE;
}

int Controls() {
    HWND main = MainWindow();
    if (!main) return 1;
    bool first = true;
    std::printf("[");
    EnumChildWindows(main, PrintChild, reinterpret_cast<LPARAM>(&first));
    std::printf("]\n");
    return 0;
}

// List-view messages that carry pointers need memory in the list's process.
int List(int id, const wchar_t* windowClass) {
    HWND main = windowClass ? FindWindowW(windowClass, nullptr) : MainWindow();
    HWND list = main ? GetDlgItem(main, id) : nullptr;
    if (!list) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return 1;
    const SIZE_T bytes = 8192;
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return 1;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::printf("{\"columns\":[");
    for (int c = 0; c < columns; ++c) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = reinterpret_cast<wchar_t*>(remote + 1024);
        column.cchTextMax = 256;
        WriteProcessMemory(process, remote, &column, sizeof column, nullptr);
        SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(remote));
        wchar_t text[256] = L"";
        ReadProcessMemory(process, remote, &column, sizeof column, nullptr);
        ReadProcessMemory(process, remote + 1024, text, sizeof text, nullptr);
        text[255] = 0;
        std::printf("%s{\"title\":%s,\"width\":%d}", c ? "," : "", Json(text).c_str(), column.cx);
    }
    std::printf("],\"rows\":[");
    for (int row = 0; row < rows; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.stateMask = LVIS_SELECTED;
        item.iItem = row;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote, &item, sizeof item, nullptr);
        std::printf("%s{\"tag\":%d,\"selected\":%d,\"texts\":[", row ? "," : "", static_cast<int>(item.lParam),
                    (item.state & LVIS_SELECTED) ? 1 : 0);
        for (int c = 0; c < columns; ++c) {
            LVITEMW sub = {};
            sub.iSubItem = c;
            sub.pszText = reinterpret_cast<wchar_t*>(remote + 1024);
            sub.cchTextMax = 1024;
            WriteProcessMemory(process, remote, &sub, sizeof sub, nullptr);
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            wchar_t text[1024] = L"";
            ReadProcessMemory(process, remote + 1024, text, sizeof text, nullptr);
            text[1023] = 0;
            std::printf("%s%s", c ? "," : "", Json(text).c_str());
        }
        std::printf("],\"cells\":[");
        for (int c = 0; c < columns; ++c) {
            RECT cell = {};
            cell.top = c;
            cell.left = LVIR_BOUNDS;
            WriteProcessMemory(process, remote, &cell, sizeof cell, nullptr);
            SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process, remote, &cell, sizeof cell, nullptr);
            POINT a = {cell.left, cell.top}, b = {cell.right, cell.bottom};
            ClientToScreen(list, &a);
            ClientToScreen(list, &b);
            RECT screen = {a.x, a.y, b.x, b.y};
            std::printf("%s%s", c ? "," : "", Rect(screen).c_str());
        }
        std::printf("]}");
    }
    std::printf("]}\n");
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

BOOL CALLBACK PrintDialogChild(HWND child, LPARAM first) {
    bool* isFirst = reinterpret_cast<bool*>(first);
    RECT r;
    GetWindowRect(child, &r);
    std::printf("%s{\"id\":%d,\"class\":%s,\"text\":%s,\"rect\":%s}", *isFirst ? "" : ",", GetDlgCtrlID(child),
                Json(ClassName(child)).c_str(), Json(WindowText(child)).c_str(), Rect(r).c_str());
    *isFirst = false;
    return TRUE;
}

// Visible top-level windows of a class (of the program's process when pid is
// not 0), with the texts of their children.
struct WindowScan {
    const wchar_t* cls;
    DWORD pid;
    bool first;
};

BOOL CALLBACK PrintWindowOfClass(HWND window, LPARAM context) {
    WindowScan* scan = reinterpret_cast<WindowScan*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!IsWindowVisible(window) || ClassName(window) != scan->cls) return TRUE;
    if (scan->pid && pid != scan->pid) return TRUE;
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%s{\"title\":%s,\"rect\":%s,\"children\":[", scan->first ? "" : ",", Json(WindowText(window)).c_str(),
                Rect(r).c_str());
    bool first = true;
    EnumChildWindows(window, PrintDialogChild, reinterpret_cast<LPARAM>(&first));
    std::printf("]}");
    scan->first = false;
    return TRUE;
}

int WindowsOfClass(const wchar_t* cls, DWORD pid) {
    WindowScan scan = {cls, pid, true};
    std::printf("[");
    EnumWindows(PrintWindowOfClass, reinterpret_cast<LPARAM>(&scan));
    std::printf("]\n");
    return 0;
}

// Message boxes and other dialogs of the program.
int Dialogs() {
    DWORD pid = 0;
    HWND main = MainWindow();
    if (main) GetWindowThreadProcessId(main, &pid);
    return WindowsOfClass(L"#32770", pid);
}

// Notification-area icons as the desktop's taskbar shows them.
BOOL CALLBACK PrintTrayIcon(HWND window, LPARAM first) {
    std::wstring cls = ClassName(window);
    if (!_wgetenv(L"PROBE_ALL") && cls.find(L"tray_icon") == std::wstring::npos) return TRUE;
    bool* isFirst = reinterpret_cast<bool*>(first);
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%s{\"class\":%s,\"visible\":%d,\"rect\":%s}", *isFirst ? "" : ",", Json(cls).c_str(),
                IsWindowVisible(window) ? 1 : 0, Rect(r).c_str());
    *isFirst = false;
    return TRUE;
}

BOOL CALLBACK ScanTopLevelForTray(HWND window, LPARAM first) {
    PrintTrayIcon(window, first);
    EnumChildWindows(window, PrintTrayIcon, first);
    return TRUE;
}

int Tray() {
    bool first = true;
    std::printf("[");
    EnumWindows(ScanTopLevelForTray, reinterpret_cast<LPARAM>(&first));
    std::printf("]\n");
    return 0;
}

// Holds the program's single-instance name without being the program.
int HoldMutex() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Global\\Norvale_SingleInstance_Mutex");
    std::printf("{\"held\":%d}\n", mutex ? 1 : 0);
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int Hold(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("{\"held\":0,\"error\":%lu}\n", GetLastError());
        return 1;
    }
    std::printf("{\"held\":1}\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

// Renames a file as any process of the user's could.
int Rename(const wchar_t* from, const wchar_t* to) {
    BOOL renamed = MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
    std::printf("{\"renamed\":%d,\"error\":%lu}\n", renamed ? 1 : 0, renamed ? 0ul : GetLastError());
    return 0;
}

// Stays on the desktop "shell" until killed. Wine closes a desktop a moment
// after the last thread on it leaves; a short-lived probe that came and went
// before the program had reached the desktop closed it under the starting
// program. Held from the start, the desktop lives until the session ends.
int HoldDesktop() {
    for (int i = 0; i < 600; ++i) {
        HDESK desktop = OpenDesktopW(L"shell", 0, FALSE, GENERIC_ALL);
        if (desktop && SetThreadDesktop(desktop)) {
            std::printf("{\"held\":1}\n");
            std::fflush(stdout);
            Sleep(INFINITE);
        }
        if (desktop) CloseDesktop(desktop);
        Sleep(50);
    }
    std::printf("{\"held\":0}\n");
    return 1;
}

// Starts a second copy and reports how it ended.
int SecondStart(const wchar_t* exe) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = const_cast<wchar_t*>(L"shell");
    // The copy must not hold the probe's output open after the probe ends.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION info = {};
    std::wstring command = L"\"" + std::wstring(exe) + L"\"";
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 1;
    DWORD waited = WaitForSingleObject(info.hProcess, 20000);
    DWORD code = 999;
    GetExitCodeProcess(info.hProcess, &code);
    std::printf("{\"ended\":%d,\"code\":%lu}\n", waited == WAIT_OBJECT_0 ? 1 : 0, code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return 0;
}

// Runs the program to its end and writes its exit code to a file, so a
// test can see how it ended.
int Run(const wchar_t* exe, const wchar_t* out) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring command = L"\"" + std::wstring(exe) + L"\"";
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 999;
    GetExitCodeProcess(info.hProcess, &code);
    FILE* file = _wfopen(out, L"w");
    if (file) {
        std::fprintf(file, "%lu\n", code);
        std::fclose(file);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (std::wstring(argv[1]) == L"hold-desktop") return HoldDesktop();
    // The program runs on the virtual desktop "shell" (the one with a
    // taskbar); windows are found only from a thread on that desktop.
    HDESK desktop = OpenDesktopW(L"shell", 0, FALSE, GENERIC_ALL);
    if (desktop) SetThreadDesktop(desktop);
    std::wstring command = argv[1];
    if (command == L"window") return Window();
    if (command == L"controls") return Controls();
    if (command == L"list" && argc > 2) return List(_wtoi(argv[2]), argc > 3 ? argv[3] : nullptr);
    if (command == L"dialogs") return Dialogs();
    if (command == L"tray") return Tray();
    if (command == L"hold" && argc > 2) return Hold(argv[2]);
    if (command == L"hold-mutex") return HoldMutex();
    if (command == L"windows" && argc > 2) return WindowsOfClass(argv[2], 0);
    if (command == L"run" && argc > 3) return Run(argv[2], argv[3]);
    if (command == L"rename" && argc > 3) return Rename(argv[2], argv[3]);
    if (command == L"second-start" && argc > 2) return SecondStart(argv[2]);
    return 2;
}
