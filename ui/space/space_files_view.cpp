// The files of the folder shown, as the disk lists them now: what its
// summary row "（N 个小文件）" stands for, one row a file, in the space list
// until 上一级. The tree keeps no more than its largest files a folder; the
// listing lives only while it is shown.
#include "ui/space/space_private.h"

#include "largefiles/space_files.h"
#include "largefiles/space_tree.h"
#include "platform/fs.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "text/text16.h"
#include "text/time_text.h"
#include "ui/shell/app_state.h"
#include "ui/shell/export_file.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/space_rows.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

uint32_t g_nSpaceFilesFolder = 0;
std::vector<SpaceListedFile> g_spaceListed;

HWND List() { return SpaceControl(IDC_LIST_SPACE); }

// As the folder rows sort: ASCII letters without regard to case.
bool LessIgnoringCase(const std::u16string& a, const std::u16string& b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char16_t x, char16_t y) { return lower(x) < lower(y); });
}

void SetCell(int row, int column, const char16_t* text) {
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(WideText(text));
    SendMessageW(List(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

std::u16string FolderShown() {
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    return tree ? SpaceFolderPath(*tree, g_szSystemDrive, g_nSpaceFilesFolder) : std::u16string();
}

void FillFilesList(int32_t select) {
    if (!List()) return;
    SendMessageW(List(), WM_SETREDRAW, FALSE, 0);
    SendMessageW(List(), LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(List(), LVM_SETITEMCOUNT, g_spaceListed.size(), 0);
    uint64_t total = 0;
    for (const SpaceListedFile& file : g_spaceListed) total += file.size;
    for (size_t i = 0; i < g_spaceListed.size(); ++i) {
        const SpaceListedFile& file = g_spaceListed[i];
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(WideText(file.name.c_str()));
        item.lParam = static_cast<LPARAM>(i);
        const int at = static_cast<int>(SendMessageW(List(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (at < 0) continue;
        char16_t text[kSizeTextUnits];
        FormatSize(file.size, text);
        SetCell(at, 1, text);
        FormatSize(file.space, text);
        SetCell(at, 2, text);
        const int32_t share = SpaceShare(file.size, total);
        FormatText(text, kSizeTextUnits, u"%d.%d%%", share / 10, share % 10);
        SetCell(at, 3, text);
        SetCell(at, 4, u"1");
        char16_t when[kTimeTextUnits];
        FormatModifiedTime(file.modified, when);
        if (when[0]) SetCell(at, 5, when);
    }
    SelectListRow(List(), select, static_cast<int32_t>(g_spaceListed.size()));
    SendMessageW(List(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List(), nullptr, TRUE);
    if (HWND path = SpaceControl(IDC_STATIC_SPACE_PATH)) {
        char16_t text[400];
        FormatText(text, 400, u"%s 中的全部文件（%d 个）", FolderShown().c_str(), static_cast<int32_t>(g_spaceListed.size()));
        SetWindowTextW(path, WideText(text));
    }
    ApplySpaceEnabled();
}

}  // namespace

bool ShowSpaceFiles() {
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    if (!tree) return false;
    std::vector<SpaceListedFile> listed;
    uint32_t error = 0;
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const SpaceItemState state = ListSpaceFiles(*tree, g_szSystemDrive, folder, &listed, &error);
    SetCursor(old);
    if (state != SPACE_ITEM_OK) {
        char16_t text[120];
        if (state == SPACE_ITEM_CHANGED) {
            Text16CopyTruncated(text, 120, u"该项目已变化，请重新分析");
        } else {
            FormatText(text, 120, u"无法列出该文件夹中的文件（错误 %d）。", static_cast<int32_t>(error));
        }
        MessageBoxW(g_hMainWnd, WideText(text), L"提示", MB_OK | MB_ICONWARNING);
        return false;
    }
    g_spaceListed.swap(listed);
    g_nSpaceFilesFolder = folder;
    StoreSpaceFilesShown(true);
    FillFilesList(g_spaceListed.empty() ? -1 : 0);
    return true;
}

void LeaveSpaceFiles() {
    StoreSpaceFilesShown(false);
    std::vector<SpaceListedFile>().swap(g_spaceListed);
}

void SortSpaceFiles(int column, bool ascending) {
    auto key = [column](const SpaceListedFile& file) {
        return column == SPACE_COL_SPACE ? file.space : column == SPACE_COL_MODIFIED ? file.modified : file.size;
    };
    std::stable_sort(g_spaceListed.begin(), g_spaceListed.end(), [&](const SpaceListedFile& a, const SpaceListedFile& b) {
        if (column == SPACE_COL_NAME) return ascending ? LessIgnoringCase(a.name, b.name) : LessIgnoringCase(b.name, a.name);
        return ascending ? key(a) < key(b) : key(a) > key(b);
    });
    FillFilesList(g_spaceListed.empty() ? -1 : 0);
    ShowListSortArrow(List(), column, ascending);
}

void OpenSpaceListedFile(int32_t row) {
    if (row < 0 || row >= static_cast<int32_t>(g_spaceListed.size())) return;
    const SpaceListedFile& file = g_spaceListed[row];
    const std::u16string folder = FolderShown();
    // Still the file listed, in the folder reached without passing a link.
    bool there = false;
    if (FsDir held = FsOpenDir(folder.c_str(), false)) {
        FsEntry entry;
        if (FsFind find = FsDirFindFirst(held, file.name.c_str(), &entry, false)) {
            there = Text16Equal(entry.name, file.name.c_str()) && !(entry.attributes & FS_ATTR_DIRECTORY) &&
                    (entry.id == FS_NO_ID || FsSameFileId(entry.id, file.id));
            FsFindClose(find);
        }
        FsCloseDir(held, false);
    }
    if (!there) {
        MessageBoxW(g_hMainWnd, L"该项目已不在原处，请重新分析。", L"提示", MB_OK | MB_ICONWARNING);
        return;
    }
    const std::u16string path = folder + (folder.back() == u'\\' ? u"" : u"\\") + file.name;
    if (!OpenFolderSelecting(WideText(path.c_str())))
        MessageBoxW(g_hMainWnd, L"资源管理器无法显示该项目。", L"提示", MB_OK | MB_ICONWARNING);
}

void DeleteSpaceListedFile(int32_t row) {
    if (row < 0 || row >= static_cast<int32_t>(g_spaceListed.size())) return;
    const SpaceListedFile file = g_spaceListed[row];
    if (file.link) {
        MessageBoxW(g_hMainWnd, L"这是一个链接（联接点或符号链接），本身不占空间，不能在这里删除。", L"提示",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    if (!AskAndDeleteSpaceFile(g_nSpaceFilesFolder, file.name.c_str(), file.id, file.size, file.space)) return;
    g_spaceListed.erase(g_spaceListed.begin() + row);
    const int32_t last = static_cast<int32_t>(g_spaceListed.size()) - 1;
    FillFilesList(row < last ? row : last);
}
