// The main window in this process (under Wine): its message handlers driven
// directly, the large-file worker with a real window, and the enabled states
// of the buttons through a whole cleaning run.
#include "app/shell.h"
#include "engine/batch.h"
#include "engine/events.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "largefiles/results.h"
#include "largefiles/scanner.h"
#include "platform/post.h"
#include "ui/cleanup/cleanup_page.h"
#include "ui/cleanup/cleanup_private.h"
#include "ui/largefiles/largefiles_page.h"
#include "ui/largefiles/largefiles_private.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/large_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// The main window's controls, by the ids the GUI tests find them by.
HWND Control(int id) { return GetDlgItem(g_hMainWnd, id); }

std::wstring Text(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring RowText(int row) {
    wchar_t text[512] = L"";
    LVITEMW item = {};
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(Control(IDC_LIST_CLEAN), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int Rows() { return static_cast<int>(SendMessageW(Control(IDC_LIST_CLEAN), LVM_GETITEMCOUNT, 0, 0)); }

bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

// Handles messages until the condition holds or 30 seconds pass.
template <typename Condition>
bool PumpUntil(Condition condition) {
    DWORD end = GetTickCount() + 30000;
    while (!condition()) {
        if (GetTickCount() > end) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return true;
}

// Presses 开始清理 and answers the box it shows with button, pumping
// messages while the ticked items are measured; returns the box's text.
// `meanwhile` runs as soon as the press has been handled.
std::wstring CleanAndAnswer(HWND window, int button, const std::function<void()>& meanwhile = [] {}) {
    std::wstring text;
    std::atomic<bool> done{false};
    std::thread answer([&text, &done, button] {
        for (int i = 0; i < 3000 && text.empty(); ++i) {
            HWND box = FindWindowW(L"#32770", nullptr);
            if (box) text = Text(GetDlgItem(box, 0xFFFF));  // the box's text, once it has one
            if (!text.empty()) {
                done.store(true);  // before the box can close
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                return;
            }
            Sleep(10);
        }
        done.store(true);
    });
    SendMessageW(window, WM_COMMAND, IDC_BTN_CLEAN, 0);
    meanwhile();
    // One message at a time: what follows the answer (a run's end) is left
    // for the caller.
    for (DWORD end = GetTickCount() + 40000; !done.load() && GetTickCount() < end;) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            Sleep(5);
        }
    }
    answer.join();
    return text;
}

// The main window's class, with the controls' common classes.
void RegisterTestClass() {
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = MainWindowProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"NorvaleMainTest";
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassExW(&cls);  // fails harmlessly when already registered
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterTestClass();
        window = CreateWindowExW(0, L"NorvaleMainTest", L"test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800, 600,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        // The measurement the window starts at creation.
        PumpUntil([] { return Enabled(Control(IDC_BTN_RESCAN)); });
    }
    static void TearDownTestSuite() {
        DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    void SetUp() override { DeselectAllItems(); }
    static HWND window;
};
HWND MainWindow::window = nullptr;

CleanProgress* Record(const char16_t* name, uint64_t freed, int32_t status) {
    CleanProgress* record = new CleanProgress{};
    std::char_traits<char16_t>::copy(record->name, name, std::char_traits<char16_t>::length(name) + 1);
    record->freed = freed;
    record->status = status;
    return record;
}

TEST_F(MainWindow, ControlsAfterCreation) {
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_hMainWnd, window);
    EXPECT_EQ(Text(Control(IDC_BTN_CLEAN)), L"开始清理");
    EXPECT_EQ(SendMessageW(Control(IDC_COMBO_MIN_SIZE), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(Control(IDC_STATIC_SCAN_STAT)), L"点击\"开始扫描\"查找大文件...");
    EXPECT_TRUE(Enabled(Control(IDC_BTN_SCAN)));
}

// Each page keeps its own status line: the large-file page does not read
// what the cleanup page last said.
TEST_F(MainWindow, EachPageShowsItsOwnStatus) {
    ShowPage(PAGE_CLEANUP);
    EXPECT_EQ(std::u16string(ShownStatusText()), u"扫描完成，可以开始清理");
    ShowPage(PAGE_LARGE);
    EXPECT_EQ(std::u16string(ShownStatusText()), u"准备就绪");
    ShowPage(PAGE_SPACE);
    EXPECT_EQ(std::u16string(ShownStatusText()), u"准备就绪");
    ShowPage(PAGE_CLEANUP);
    EXPECT_EQ(std::u16string(ShownStatusText()), u"扫描完成，可以开始清理");
}

TEST_F(MainWindow, ProgressRecordsBecomeLogLinesInTheirTwoForms) {
    SwitchToLogView();  // a run's log starts its counters at zero
    SendMessageW(window, MSG_CLEAN_PROGRESS, reinterpret_cast<WPARAM>(Record(u"WebCache", 0, CS_NOTHING)), 0);
    SendMessageW(window, MSG_CLEAN_PROGRESS, reinterpret_cast<WPARAM>(Record(u"Windows 日志", 2048, CS_NEED_ADMIN)), 0);
    SendMessageW(window, MSG_CLEAN_PROGRESS, reinterpret_cast<WPARAM>(Record(u"", 0, 9)), 0);
    SendMessageW(window, MSG_CLEAN_PROGRESS, 0, 0);
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(RowText(0), L"【无内容可清理】 WebCache");
    EXPECT_EQ(RowText(1), L"【需管理员权限】 Windows 日志  释放 2.00 KB");
    EXPECT_EQ(RowText(2), L"【已处理】 ");
    EXPECT_EQ(GetRowTag(0), 5);
    EXPECT_EQ(GetRowTag(1), 2);
    int32_t cleaned = 0;
    uint64_t freed = 0;
    CleanupRunTotals(&cleaned, &freed);
    EXPECT_EQ(cleaned, 1);
    EXPECT_EQ(freed, 2048u);
    SendMessageW(window, MSG_CLEAN_FINISHED, 0, 0);
    EXPECT_EQ(RowText(3), std::wstring(40, L'─'));
    EXPECT_EQ(RowText(4), L"清理完成！共清理 1 项，释放空间 2.00 KB");
    EXPECT_EQ(GetRowTag(4), -1);
}

TEST_F(MainWindow, ButtonStatesThroughAWholeRun) {
    // 开始清理 waits for the measurement.
    SendMessageW(window, WM_COMMAND, IDC_BTN_RESCAN, 0);
    EXPECT_FALSE(Enabled(Control(IDC_BTN_CLEAN)));
    EXPECT_FALSE(Enabled(Control(IDC_BTN_RESCAN)));
    ASSERT_TRUE(PumpUntil([] { return Enabled(Control(IDC_BTN_RESCAN)); }));
    EXPECT_TRUE(Enabled(Control(IDC_BTN_CLEAN)));
    EXPECT_FALSE(CleanupShowsLog());

    // Nothing ticked: nothing to ask about, and no run.
    EXPECT_EQ(CleanAndAnswer(window, IDOK), L"请先勾选要清理的项目");
    EXPECT_FALSE(CleanupShowsLog());
    EXPECT_EQ(g_bCleanBusy.load(), 0);

    ToggleItemSelection(1, 7);  // NPM, whose folder this machine may not have
    CleanAndAnswer(window, IDYES);
    EXPECT_TRUE(CleanupShowsLog());
    EXPECT_FALSE(Enabled(Control(IDC_BTN_CLEAN)));
    EXPECT_FALSE(Enabled(Control(IDC_BTN_SELECT_ALL))) << "全选 during a run";
    EXPECT_FALSE(Enabled(Control(IDC_BTN_DESELECT_ALL)));
    ASSERT_TRUE(PumpUntil([] { return g_bCleanBusy.load() == 0 && Enabled(Control(IDC_BTN_RESCAN)); }));
    EXPECT_FALSE(Enabled(Control(IDC_BTN_CLEAN))) << "stays off until a rescan";
    EXPECT_TRUE(Enabled(Control(IDC_BTN_SELECT_ALL)));
    EXPECT_TRUE(Enabled(Control(IDC_BTN_SCAN)));
    ASSERT_EQ(Rows(), 4);
    EXPECT_EQ(RowText(2).rfind(L"清理完成！共清理 ", 0), 0u);
    EXPECT_EQ(RowText(3).rfind(L"C 盘可用空间: 之前 ", 0), 0u) << "the drive's free space before and after";
    DeselectAllItems();

    SendMessageW(window, WM_COMMAND, IDC_BTN_RESCAN, 0);
    EXPECT_FALSE(Enabled(Control(IDC_BTN_CLEAN)));
    EXPECT_FALSE(Enabled(Control(IDC_BTN_RESCAN)));
    ASSERT_TRUE(PumpUntil([] { return Enabled(Control(IDC_BTN_RESCAN)); }));
    EXPECT_TRUE(Enabled(Control(IDC_BTN_CLEAN))) << "after a run, 重新扫描 brings it back";

    ToggleItemSelection(1, 7);
    CleanAndAnswer(window, IDNO);
    EXPECT_FALSE(CleanupShowsLog()) << "No changes nothing";
    EXPECT_TRUE(Enabled(Control(IDC_BTN_CLEAN)));
    EXPECT_TRUE(Enabled(Control(IDC_BTN_RESCAN)));
}

// 否 leaves the list as it was: nothing changed on disk, so no unticked
// item's size may change for the confirmation's measurement. A ticked
// Downloads is named in the question, with what happens to its files.
TEST_F(MainWindow, DecliningTheConfirmationKeepsTheUntickedSizes) {
    g_CleanupGroups[1].items[8].size.store(123456);
    ToggleItemSelection(1, 7);
    ToggleItemSelection(4, 20);
    std::wstring question = CleanAndAnswer(window, IDNO);
    EXPECT_EQ(g_bCleanBusy.load(), 0);
    EXPECT_EQ(ItemSize(g_CleanupGroups[1].items[8]), 123456u);
    EXPECT_NE(question.find(L"\n\n注意：以下勾选的项目是你自己的文件，将被永久删除，不会进入回收站：\n「下载文件夹(慎用)」"),
              std::wstring::npos)
        << std::string(question.begin(), question.end());
    g_CleanupGroups[1].items[8].size.store(0);
}

// The user ticks NPM alone and confirms; "全选" pressed while the ticked
// items are measured or during the run is refused and changes nothing;
// after the run the total tells what is left.
TEST_F(MainWindow, ARunCleansWhatWasConfirmedAndTheTotalTellsWhatIsLeft) {
    // A LocalAppData of its own: a real machine has an npm cache of its own.
    wchar_t temp[MAX_PATH], previous[MAX_PATH] = L"";
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    GetEnvironmentVariableW(L"LOCALAPPDATA", previous, MAX_PATH);
    const std::wstring local = std::wstring(temp) + L"norvale-window-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(local.c_str(), nullptr);
    SetEnvironmentVariableW(L"LOCALAPPDATA", local.c_str());
    std::wstring cache = local + L"\\npm-cache";
    CreateDirectoryW(cache.c_str(), nullptr);
    for (int i = 0; i < 3000; ++i) {
        HANDLE file = CreateFileW((cache + L"\\f" + std::to_wstring(i)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  0, nullptr);
        DWORD written = 0;
        WriteFile(file, "x", 1, &written, nullptr);
        CloseHandle(file);
    }
    ToggleItemSelection(1, 7);
    // The ticked items are measured on a worker: the press returns at once,
    // and nothing may change the ticks until the question is answered.
    std::wstring question = CleanAndAnswer(window, IDYES, [&] {
        EXPECT_EQ(std::u16string(ShownStatusText()), u"正在计算所选项目的大小...");
        EXPECT_FALSE(Enabled(Control(IDC_BTN_CLEAN)));
        SendMessageW(window, WM_COMMAND, IDC_BTN_SELECT_ALL, 0);
        EXPECT_FALSE(ItemSelected(g_CleanupGroups[0].items[0])) << "全选 while measuring";
    });
    EXPECT_EQ(question.rfind(L"确认清理约 2.93 KB 的垃圾文件？", 0), 0u) << std::string(question.begin(), question.end());
    SendMessageW(window, WM_COMMAND, IDC_BTN_SELECT_ALL, 0);
    ASSERT_TRUE(PumpUntil([] { return g_bCleanBusy.load() == 0 && Enabled(Control(IDC_BTN_RESCAN)); }));
    ASSERT_EQ(Rows(), 4);
    EXPECT_EQ(RowText(0), L"【已处理】 NPM 缓存  释放 2.93 KB");
    EXPECT_EQ(Text(Control(IDC_STATIC_TOTAL)), L"总计可释放空间: 0 B");
    EXPECT_FALSE(ItemSelected(g_CleanupGroups[0].items[0])) << "全选 was not refused";
    RemoveDirectoryW(cache.c_str());
    RemoveDirectoryW(local.c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", previous[0] ? previous : nullptr);
}

// "重新扫描" after a run brings the catalogue's columns back at the
// window's scale (144 DPI: 180 for the size column), not at 96-DPI widths.
TEST_F(MainWindow, CatalogueColumnsStayScaledAfterARescan) {
    for (int dpi : {144, 96}) {
        g_nDpi = dpi;
        SwitchToLogView();
        SendMessageW(window, WM_COMMAND, IDC_BTN_RESCAN, 0);
        ASSERT_TRUE(PumpUntil([] { return Enabled(Control(IDC_BTN_RESCAN)); }));
        EXPECT_EQ(SendMessageW(Control(IDC_LIST_CLEAN), LVM_GETCOLUMNWIDTH, 1, 0), MulDiv(120, dpi, 96));
    }
}

TEST_F(MainWindow, MeasurementEndingDuringARunLeavesTheLogAlone) {
    SwitchToLogView();
    AppendListRow(u"【已处理】 NPM 缓存", 0);
    EnableWindow(Control(IDC_BTN_RESCAN), FALSE);
    g_CleanupGroups[1].items[7].size.store(12345);
    g_bCleanBusy.store(1);
    SendMessageW(window, MSG_MEASURE_FINISHED, 0, 0);
    g_bCleanBusy.store(0);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(RowText(0), L"【已处理】 NPM 缓存");
    EXPECT_FALSE(Enabled(Control(IDC_BTN_RESCAN))) << "rescan enabled during a run";
    g_CleanupGroups[1].items[7].size.store(0);
    SwitchToCatalogueView();
}

TEST_F(MainWindow, ScanProgressLabel) {
    ScanProgress progress = {0, 0, 0};
    OnLargeScanProgress(0, 500, 0, &progress);
    EXPECT_EQ(Text(Control(IDC_STATIC_SCAN_STAT)), L"正在扫描... 已扫描 500 个目录，0 个文件 (0%)");
    OnLargeScanProgress(37, 12000, 3, &progress);
    EXPECT_EQ(Text(Control(IDC_STATIC_SCAN_STAT)), L"正在扫描... 已扫描 12000 个目录，3 个文件 (37%)");
    EXPECT_EQ(progress.percent, 37);
    EXPECT_EQ(progress.directories, 12000);
    EXPECT_EQ(progress.files, 3);
}

// The walk and the master file table count folders differently: the label's
// count never runs backwards within a scan while the percent rises.
TEST_F(MainWindow, ScanProgressDirectoryCountNeverRunsBackwards) {
    ScanProgress progress = {0, 0, 0};
    OnLargeScanProgress(40, 25000, 7, &progress);
    OnLargeScanProgress(45, 14450, 9, &progress);
    EXPECT_EQ(Text(Control(IDC_STATIC_SCAN_STAT)), L"正在扫描... 已扫描 25000 个目录，9 个文件 (45%)");
    EXPECT_EQ(progress.directories, 25000);
    OnLargeScanProgress(50, 26000, 9, &progress);
    EXPECT_EQ(progress.directories, 26000);
}

// A rescan starts from an empty list: no old row stays under the sort arrow
// or offers 删除 where the new records would have 说明.
TEST_F(MainWindow, ARescanClearsTheListWhenItStarts) {
    LargeFileEntry* entries = static_cast<LargeFileEntry*>(std::calloc(2, sizeof(LargeFileEntry)));
    const char16_t* paths[2] = {u"C:\\pagefile.sys", u"C:\\big.iso"};
    for (int i = 0; i < 2; ++i) {
        std::char_traits<char16_t>::copy(entries[i].path, paths[i], std::char_traits<char16_t>::length(paths[i]) + 1);
        entries[i].size = 1ull << 30;
    }
    ClearLargeFiles();
    PublishLargeFiles(entries, 2);
    FillLargeFileList();
    ASSERT_EQ(SendMessageW(Control(IDC_LIST_LARGE), LVM_GETITEMCOUNT, 0, 0), 2);
    SendMessageW(window, WM_COMMAND, IDC_BTN_SCAN, 0);
    EXPECT_EQ(SendMessageW(Control(IDC_LIST_LARGE), LVM_GETITEMCOUNT, 0, 0), 0) << "old rows under a new scan";
    EXPECT_EQ(g_nLargeFiles.load(), 0);
    StopLargeFileScan();
    ASSERT_TRUE(PumpUntil([] { return Enabled(Control(IDC_BTN_SCAN)); }));
}

TEST_F(MainWindow, CancelledScanStillFinishesWithItsMessage) {
    SendMessageW(window, WM_COMMAND, IDC_BTN_SCAN, 0);
    EXPECT_FALSE(Enabled(Control(IDC_BTN_SCAN)));
    EXPECT_EQ(g_bLargeScanBusy.load(), 1);
    SendMessageW(window, WM_COMMAND, IDC_BTN_SCAN, 0);  // refused while busy
    g_bLargeScanBusy.store(0);                          // what closing the window does
    ASSERT_TRUE(PumpUntil([] { return Enabled(Control(IDC_BTN_SCAN)); }));
    int32_t count = g_nLargeFiles.load();
    EXPECT_NE(g_pLargeFiles.load(), nullptr) << "a cancelled scan publishes an array";
    wchar_t expected[128];
    wsprintfW(expected, L"扫描已停止：发现 %d 个大文件，共 ", count);
    EXPECT_EQ(Text(Control(IDC_STATIC_SCAN_STAT)).rfind(expected, 0), 0u) << Text(Control(IDC_STATIC_SCAN_STAT)).c_str();
}

// Where a window puts its controls, how large its font is, how wide its
// columns and combo items are: what a DPI change must set as start-up does.
struct Placement {
    std::vector<RECT> rects;
    LONG fontHeight;
    std::vector<LRESULT> widths;
};

Placement Snapshot(HWND window) {
    Placement p;
    for (HWND control : {Control(IDC_TAB_CLEAN), Control(IDC_TAB_LARGE), Control(IDC_BTN_MODE), Control(IDC_WARNING_BAR), Control(IDC_BTN_SELECT_ALL), Control(IDC_BTN_DESELECT_ALL), Control(IDC_STATIC_TOTAL),
                         Control(IDC_LIST_CLEAN), Control(IDC_BTN_DISK_CLEAN), Control(IDC_BTN_RESCAN), Control(IDC_BTN_CLEAN), Control(IDC_STATIC_LARGE_WARN),
                         Control(IDC_BTN_SCAN), Control(IDC_COMBO_MIN_SIZE), Control(IDC_STATIC_SCAN_STAT), Control(IDC_LIST_LARGE)}) {
        RECT r = {};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        p.rects.push_back(r);
    }
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(IDC_BTN_CLEAN), WM_GETFONT, 0, 0)), sizeof font, &font);
    p.fontHeight = font.lfHeight;
    for (int c = 0; c < 4; ++c) p.widths.push_back(SendMessageW(Control(IDC_LIST_LARGE), LVM_GETCOLUMNWIDTH, c, 0));
    for (int c = 0; c < 2; ++c) p.widths.push_back(SendMessageW(Control(IDC_LIST_CLEAN), LVM_GETCOLUMNWIDTH, c, 0));
    p.widths.push_back(SendMessageW(Control(IDC_COMBO_MIN_SIZE), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    p.widths.push_back(SendMessageW(Control(IDC_COMBO_MIN_SIZE), CB_GETITEMHEIGHT, 0, 0));
    return p;
}

HWND OpenAt(int dpi) {
    RegisterTestClass();
    ReadProcessFacts();  // its one reading of the screen's DPI comes first
    g_nDpi = dpi;
    HWND window = CreateWindowExW(0, L"NorvaleMainTest", L"dpi", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                  MulDiv(800, dpi, 96), MulDiv(600, dpi, 96), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    PumpUntil([] { return Enabled(Control(IDC_BTN_RESCAN)); });
    return window;
}

void Close(HWND window) {
    DestroyWindow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

void ExpectSame(const Placement& a, const Placement& b, const char* what) {
    ASSERT_EQ(a.rects.size(), b.rects.size());
    for (size_t i = 0; i < a.rects.size(); ++i) {
        EXPECT_TRUE(EqualRect(&a.rects[i], &b.rects[i])) << what << ": control " << i << " at " << a.rects[i].left << ","
                                                         << a.rects[i].top << " " << a.rects[i].right << "," << a.rects[i].bottom
                                                         << " instead of " << b.rects[i].left << "," << b.rects[i].top << " "
                                                         << b.rects[i].right << "," << b.rects[i].bottom;
    }
    EXPECT_EQ(a.fontHeight, b.fontHeight) << what;
    EXPECT_EQ(a.widths, b.widths) << what;
}

// A window moved to a 144-DPI monitor and back stands as a window opened
// there stands (runs after the shared window of MainWindow is gone).
TEST(MainWindowDpi, AChangeOfDpiLaysOutAsStartUpAtThatDpi) {
    HWND window = OpenAt(144);
    const Placement at144 = Snapshot(window);
    Close(window);
    window = OpenAt(96);
    const Placement at96 = Snapshot(window);
    RECT larger = {0, 0, 1200, 900};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&larger));
    EXPECT_EQ(g_nDpi, 144);
    const Placement moved = Snapshot(window);
    ExpectSame(moved, at144, "96 -> 144");
    EXPECT_EQ(moved.fontHeight, -20);
    EXPECT_EQ(moved.widths[1], 135) << "大小 at 90 design units";
    RECT smaller = {0, 0, 800, 600};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&smaller));
    ExpectSame(Snapshot(window), at96, "144 -> 96");
    Close(window);
}

// The ticker's timer runs only while someone can see it: the large-file
// page shown in a visible, not minimized, window.
TEST_F(MainWindow, TheTickerRunsOnlyWhileItCanBeSeen) {
    ShowWindow(window, SW_SHOW);
    ShowPage(1);
    EXPECT_TRUE(TickerRunning());
    ShowWindow(window, SW_HIDE);  // to the tray
    EXPECT_FALSE(TickerRunning());
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(TickerRunning());
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_FALSE(TickerRunning());
    ShowWindow(window, SW_RESTORE);
    ShowPage(0);
    EXPECT_FALSE(TickerRunning());
    ShowWindow(window, SW_HIDE);
}

}  // namespace

namespace {

// The large-file list's path order folds case as CompareStringOrdinal with
// ignore case does, for every unit of the blocks where letters have case
// and the program's rule folds them (ASCII, Latin-1 and Extended-A, Greek,
// Cyrillic, full-width Latin), against every other.
TEST(LargeSortCase, PathsOrderAsCompareStringOrdinalIgnoringCase) {
    std::vector<wchar_t> units;
    for (wchar_t c = 0x20; c < 0x7F; ++c) units.push_back(c);
    for (wchar_t c = 0xA0; c < 0xC0; ++c) units.push_back(c);
    for (wchar_t c = 0xC0; c < 0x180; ++c) units.push_back(c);
    for (wchar_t c = 0x386; c < 0x3D0; ++c) units.push_back(c);
    for (wchar_t c = 0x400; c < 0x460; ++c) units.push_back(c);
    for (wchar_t c = 0xFF21; c < 0xFF5B; ++c) units.push_back(c);
    int mismatches = 0;
    for (wchar_t a : units) {
        for (wchar_t b : units) {
            LargeFileEntry x = {}, y = {};
            x.path[0] = static_cast<char16_t>(a);
            y.path[0] = static_cast<char16_t>(b);
            const int ours = CompareLargeFiles(x, y, LargeSort{kLargeColumnPath, 0});
            const int theirs = CompareStringOrdinal(&a, 1, &b, 1, TRUE) - CSTR_EQUAL;
            if (ours != theirs && ++mismatches <= 30)
                ADD_FAILURE() << std::hex << "U+" << static_cast<int>(a) << " against U+" << static_cast<int>(b) << ": "
                              << ours << " instead of " << theirs;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
