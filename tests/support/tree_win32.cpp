#include "tests/support/tree.h"

#include "platform/fs.h"
#include "text/text16.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {
std::u16string g_root;
int g_counter = 0;
std::vector<HANDLE> g_held;
// Links made on the Linux side: their Linux and their Windows paths.
std::vector<std::pair<std::string, std::u16string>> g_hostLinks;

// Wine's own export: the Linux path of a Windows one (null on Windows).
typedef char*(CDECL* UnixFileName)(LPCWSTR);

UnixFileName WineUnixFileName() {
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::string UnixPath(const std::u16string& path) {
    UnixFileName unixName = WineUnixFileName();
    char* name = unixName ? unixName(WideText(path.c_str())) : nullptr;
    std::string out = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Starts a Linux program: Wine starts host executables like its own, but
// hands back no process handle for them (null) and leaves hThread holding
// whatever was there: closing it would close some other handle of this
// process. So nothing is waited on or closed, and callers poll for the
// outcome instead.
bool StartHost(const wchar_t* exe, const std::string& arguments) {
    std::wstring command = std::wstring(exe) + L" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring application = std::wstring(L"Z:") + exe;
    std::replace(application.begin(), application.end(), L'/', L'\\');
    if (!CreateProcessW(application.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    if (info.hProcess) {
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    return true;
}

// Polls for up to five seconds.
template <typename Done>
bool WaitFor(Done done) {
    for (int i = 0; i < 100 && !done(); ++i) Sleep(50);
    return done();
}

// Creation goes through the "\\?\" form so paths past 260 units can be made.
std::wstring Long(const std::u16string& path) { return L"\\\\?\\" + std::wstring(path.begin(), path.end()); }

void MakeParents(const std::u16string& path) {
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == u'\\') CreateDirectoryW(Long(path.substr(0, i)).c_str(), nullptr);
    }
}

void RemoveBelow(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveBelow(path);
                RemoveDirectoryW(path.c_str());
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
}

std::string Utf8(const wchar_t* text) {
    char buffer[2048];
    Utf16ToUtf8(Text16(text), buffer, sizeof buffer);
    return buffer;
}

void Collect(const std::wstring& dir, const std::string& relative, std::vector<std::string>& lines) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string child = relative.empty() ? Utf8(name.c_str()) : relative + "/" + Utf8(name.c_str());
        std::wstring path = dir + L"\\" + name;
        uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            lines.push_back(child + " link");
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(child + " dir");
            Collect(path, child, lines);
        } else {
            std::string line = child + " file " + std::to_string(size) + " attr " +
                               std::to_string(data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
            if (size <= 65536) {
                HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
                if (file != INVALID_HANDLE_VALUE) {
                    std::string content(static_cast<size_t>(size), '\0');
                    DWORD got = 0;
                    if (size) ReadFile(file, &content[0], static_cast<DWORD>(size), &got, nullptr);
                    CloseHandle(file);
                    line += " content " + content.substr(0, got);
                }
            }
            lines.push_back(line);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

bool IsReparsePoint(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction: a mount-point reparse point whose substitute name is the
// NT form of the target.
bool MakeJunction(const std::u16string& link, const std::u16string& target) {
    if (!CreateDirectoryW(Long(link).c_str(), nullptr)) return false;
    HANDLE dir = CreateFileW(Long(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (dir == INVALID_HANDLE_VALUE) {
        RemoveDirectoryW(Long(link).c_str());
        return false;
    }
    std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
    std::wstring print(target.begin(), target.end());
    std::vector<BYTE> buffer(8 + 8 + (substitute.size() + print.size() + 2) * 2);
    auto* header = reinterpret_cast<DWORD*>(buffer.data());
    header[0] = IO_REPARSE_TAG_MOUNT_POINT;
    auto* words = reinterpret_cast<WORD*>(buffer.data());
    words[2] = static_cast<WORD>(buffer.size() - 8);  // ReparseDataLength
    words[4] = 0;                                      // SubstituteNameOffset
    words[5] = static_cast<WORD>(substitute.size() * 2);
    words[6] = static_cast<WORD>((substitute.size() + 1) * 2);  // PrintNameOffset
    words[7] = static_cast<WORD>(print.size() * 2);
    auto* path = reinterpret_cast<wchar_t*>(buffer.data() + 16);
    std::copy(substitute.begin(), substitute.end(), path);
    path[substitute.size()] = 0;
    std::copy(print.begin(), print.end(), path + substitute.size() + 1);
    path[substitute.size() + 1 + print.size()] = 0;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(dir, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0,
                              &returned, nullptr);
    CloseHandle(dir);
    if (!ok || !IsReparsePoint(Long(link))) {
        RemoveDirectoryW(Long(link).c_str());
        return false;
    }
    return true;
}
}  // namespace

void TreeRemove() {
    TreeReleaseHeld();
    for (const auto& link : g_hostLinks) {
        if (StartHost(L"/bin/rm", "-f \"" + link.first + "\"")) WaitFor([&] { return !IsReparsePoint(Long(link.second)); });
    }
    g_hostLinks.clear();
    if (g_root.empty()) return;
    std::wstring root(g_root.begin(), g_root.end());
    RemoveBelow(L"\\\\?\\" + root);
    RemoveDirectoryW(root.c_str());
    g_root.clear();
}

void TreeFresh() {
    TreeRemove();
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no temp folder");
    std::wstring root = std::wstring(temp) + L"nvt" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++g_counter);
    if (!root.empty() && root.back() == L'\\') root.pop_back();
    g_root.assign(root.begin(), root.end());
    MakeParents(g_root + u"\\");
    if (GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES) throw std::runtime_error("cannot create the test root");
}

const std::u16string& TreeRoot() { return g_root; }

void TreeDir(const std::u16string& relative) { MakeParents(TreePath(relative) + u"\\"); }

void TreeFile(const std::u16string& relative, uint64_t size, uint32_t attributes) {
    std::u16string path = TreePath(relative);
    MakeParents(path);
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    if (attributes) SetFileAttributesW(Long(path).c_str(), attributes);
}

void TreeFileContent(const std::u16string& relative, const std::string& content) {
    std::u16string path = TreePath(relative);
    MakeParents(path);
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

bool TreeDirLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return TreeDirLinkTo(relative, TreePath(targetRelative));
}

bool TreeDirLinkTo(const std::u16string& relative, const std::u16string& target) {
    std::u16string link = TreePath(relative);
    MakeParents(link);
    if (MakeJunction(link, target)) return true;
    // Some systems report success without making a link: trust what is there.
    CreateSymbolicLinkW(WideText(link.c_str()), WideText(target.c_str()),
                        SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* allow unprivileged create */);
    if (IsReparsePoint(Long(link))) return true;
    // Wine makes no links of its own, but shows a folder symlink made on the
    // Linux side as a reparse point with tag 0. (Never a file symlink: Wine
    // lists it as a plain file and deleting it deletes its target.)
    std::string unixLink = UnixPath(link);
    std::string unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty() || !StartHost(L"/bin/ln", "-s \"" + unixTarget + "\" \"" + unixLink + "\""))
        return false;
    g_hostLinks.emplace_back(unixLink, link);
    return WaitFor([&] { return IsReparsePoint(Long(link)); });
}

bool TreeDirLinksRemovable() { return g_hostLinks.empty(); }

std::string TreeNativePath(const std::u16string&) { return std::string(); }

bool TreeFileLink(const std::u16string& relative, const std::u16string& targetRelative) {
    std::u16string link = TreePath(relative);
    MakeParents(link);
    std::u16string target = TreePath(targetRelative);
    CreateSymbolicLinkW(WideText(link.c_str()), WideText(target.c_str()), 0x2);
    return IsReparsePoint(Long(link));
}

bool TreeHoldOpen(const std::u16string& relative) {
    HANDLE file = CreateFileW(Long(TreePath(relative)).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_held.push_back(file);
    return true;
}

void TreeReleaseHeld() {
    for (HANDLE file : g_held) CloseHandle(file);
    g_held.clear();
}

bool TreeSwapForLink(const std::u16string& relative, const std::u16string& targetRelative) {
    const std::u16string path = TreePath(relative);
    if (!WineUnixFileName()) {
        // Windows: as another process would, by the Win32 API. Renaming fails
        // while the folder is held without FILE_SHARE_DELETE.
        if (!MoveFileExW(Long(path).c_str(), (Long(path) + L".moved").c_str(), 0)) return false;
        return MakeJunction(path, TreePath(targetRelative));
    }
    std::string unixPath = UnixPath(path);
    std::string unixTarget = UnixPath(TreePath(targetRelative));
    if (unixPath.empty() || unixTarget.empty()) return false;
    // One shell, so that the link is made only once the folder has moved.
    const std::string script = "mv '" + unixPath + "' '" + unixPath + ".moved' && ln -s '" + unixTarget + "' '" + unixPath + "'";
    if (!StartHost(L"/bin/sh", "-c \"" + script + "\"")) return false;
    g_hostLinks.emplace_back(unixPath, path);
    return WaitFor([&] { return IsReparsePoint(Long(path)); });
}

namespace {
std::wstring g_swapDone;
}

bool TreeSwapOnEvent(const std::u16string& watched, bool onOpen, const std::u16string& swapped,
                     const std::u16string& targetRelative) {
    if (!WineUnixFileName()) return false;
    const std::u16string ready = TreePath(u"") + u".swap-ready";
    const std::u16string done = TreePath(u"") + u".swap-done";
    DeleteFileW(Long(ready).c_str());
    DeleteFileW(Long(done).c_str());
    const std::string unixRoot = UnixPath(TreePath(u""));
    const std::string script = std::string(NORVALE_SOURCE_DIR) + "/tests/support/swap_on_event.py";
    if (unixRoot.empty()) return false;
    const std::string arguments = "'" + script + "' '" + UnixPath(TreePath(watched)) + "' " + (onOpen ? "open" : "delete") +
                                  " '" + UnixPath(TreePath(swapped)) + "' '" + UnixPath(TreePath(targetRelative)) + "' '" +
                                  unixRoot + ".swap-ready' '" + unixRoot + ".swap-done'";
    if (!StartHost(L"/bin/sh", "-c \"exec /usr/bin/python3 " + arguments + "\"")) return false;
    g_hostLinks.emplace_back(UnixPath(TreePath(swapped)), TreePath(swapped));
    g_swapDone = Long(done);
    for (int i = 0; i < 200; ++i) {
        if (GetFileAttributesW(Long(ready).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

void TreeSwapFinished() {
    for (int i = 0; i < 700 && GetFileAttributesW(g_swapDone.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
}

bool TreeHardLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return CreateHardLinkW(Long(TreePath(relative)).c_str(), Long(TreePath(targetRelative)).c_str(), nullptr) != FALSE;
}

bool TreeReadOnly(const std::u16string& relative) {
    DWORD attributes = GetFileAttributesW(Long(TreePath(relative)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool TreeExists(const std::u16string& relative) {
    return GetFileAttributesW(Long(TreePath(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TreeManifest(const std::u16string& relative) {
    std::vector<std::string> lines;
    std::u16string path = TreePath(relative);
    Collect(std::wstring(path.begin(), path.end()), "", lines);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

const char* TreeBackendName() { return "win32"; }
