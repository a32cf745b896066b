// The treemap beside the space list: the folder shown, nested. Each folder's
// box holds its own folders, files and small files, a frame and (where it
// fits) a name strip per level; folders are blues, lighter as they go
// deeper, files take the colour of their kind, named in the legend under
// the map. Hovering shows the box in a tooltip; a click selects the shown
// folder's row that holds the box; a double-click shows the deepest folder
// under the pointer (for a file, the folder holding it).
#include "ui/space/space_private.h"

#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"

#include "largefiles/space_tree.h"
#include "text/format.h"
#include "text/text16.h"
#include "uimodel/space_rows.h"
#include "uimodel/treemap.h"

#include <string>
#include <vector>

namespace {

// The boxes of the rows shown, for the client size they were laid out in.
std::vector<NestedBox> g_boxes;
bool g_boxesValid = false;
uint32_t g_nBoxesGeneration = 0;  // the rows' generation they were laid out for
uint64_t g_nRowsTotal = 0;        // 占比's whole: the rows' sizes together

HWND g_hTip = nullptr;
int32_t g_nHover = -1;  // the box the tooltip names; -1 when its text is to be made again
bool g_bTipShown = false;
bool g_bTracking = false;
wchar_t g_szTip[1024];

bool BoxesCurrent() { return g_boxesValid && g_nBoxesGeneration == SpaceRowsGeneration(); }

COLORREF FromRgb(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

COLORREF Shade(COLORREF c, int percent) {
    return RGB(GetRValue(c) * percent / 100, GetGValue(c) * percent / 100, GetBValue(c) * percent / 100);
}

// The legend's kinds in cells of one width, as many to a line as fit.
int LegendCell() { return ScaleByDpi(58); }
int LegendLine() { return ScaleByDpi(18); }

int LegendColumns(int width) {
    const int columns = (width - ScaleByDpi(4)) / LegendCell();
    return columns < 1 ? 1 : columns > KIND_COUNT ? KIND_COUNT : columns;
}

int LegendHeight(int width) {
    const int columns = LegendColumns(width);
    return (KIND_COUNT + columns - 1) / columns * LegendLine() + ScaleByDpi(4);
}

RECT MapRect(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    client.bottom -= LegendHeight(client.right);
    if (client.bottom < 0) client.bottom = 0;
    return client;
}

COLORREF BoxColour(const SpaceTree& tree, const NestedBox& box) {
    switch (box.kind) {
    case BOX_FOLDER: {
        // One blue, a little lighter per level, so the levels read apart.
        const int step = box.depth < 8 ? box.depth : 8;
        return RGB(41 + step * 9, 128 + step * 9, 185 + step * 7);
    }
    case BOX_FILE:
        return FromRgb(FileKindColour(FileKindOf(tree.Name(tree.Folder(box.folder).kept[box.file].name))));
    case BOX_REST: return RGB(189, 195, 199);
    case BOX_OTHER: return RGB(160, 166, 170);
    default: return RGB(90, 90, 90);
    }
}

void Layout(HWND window) {
    const RECT map = MapRect(window);
    int32_t count = 0;
    const SpaceRow* rows = SpaceRowsShown(&count);
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    g_nRowsTotal = 0;
    for (int32_t i = 0; i < count; ++i) g_nRowsTotal += rows[i].size;
    NestedLayout options;
    options.header = ScaleByDpi(16);
    options.descend = ScaleByDpi(8);
    g_boxes = tree ? LayoutNestedTreemap(*tree, folder, rows, count, LayoutRect{0, 0, map.right, map.bottom}, options)
                   : std::vector<NestedBox>();
    g_boxesValid = true;
    g_nBoxesGeneration = SpaceRowsGeneration();
    g_nHover = -1;
}

// What a box is called: the name its row would have.
void BoxName(const SpaceTree& tree, const NestedBox& box, char16_t* out) {
    switch (box.kind) {
    case BOX_FOLDER: Text16CopyTruncated(out, 260, tree.Name(tree.Folder(box.folder).name)); break;
    case BOX_FILE: Text16CopyTruncated(out, 260, tree.Name(tree.Folder(box.folder).kept[box.file].name)); break;
    case BOX_REST:
        FormatText(out, 260, tree.Folder(box.folder).restLarge ? u"（其余 %d 个文件）" : u"（%d 个小文件）",
                   static_cast<int32_t>(box.files));
        break;
    case BOX_OTHER: FormatText(out, 260, u"（其余 %d 项）", box.file); break;
    default: Text16CopyTruncated(out, 260, u"（未统计）"); break;
    }
}

void FrameWidth(HDC dc, RECT r, COLORREF colour, int width) {
    HBRUSH brush = CreateSolidBrush(colour);
    for (int i = 0; i < width && r.right - r.left > 2 && r.bottom - r.top > 2; ++i) {
        FrameRect(dc, &r, brush);
        InflateRect(&r, -1, -1);
    }
    DeleteObject(brush);
}

void PaintLegend(HDC dc, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int top = client.bottom - LegendHeight(client.right) + ScaleByDpi(2);
    const int columns = LegendColumns(client.right);
    const int swatch = ScaleByDpi(10);
    SetTextColor(dc, RGB(40, 40, 40));
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        const int x = ScaleByDpi(4) + kind % columns * LegendCell();
        const int y = top + kind / columns * LegendLine();
        RECT box = {x, y + (LegendLine() - swatch) / 2, x + swatch, y + (LegendLine() - swatch) / 2 + swatch};
        HBRUSH fill = CreateSolidBrush(FromRgb(FileKindColour(static_cast<FileKind>(kind))));
        FillRect(dc, &box, fill);
        DeleteObject(fill);
        RECT label = {box.right + ScaleByDpi(3), y, x + LegendCell(), y + LegendLine()};
        DrawTextW(dc, WideText(FileKindName(static_cast<FileKind>(kind))), -1, &label,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

void PaintBoxes(HDC dc, const SpaceTree& tree) {
    const int32_t selected = SpaceSelectedRow();
    SpaceExtensionSum chosen;
    const bool typeChosen = SpaceTypeChosen(&chosen);
    std::vector<RECT> marked;
    const RECT* outline = nullptr;
    RECT selectedBox;
    const int header = ScaleByDpi(16);
    for (const NestedBox& box : g_boxes) {
        const RECT r = {box.rect.x, box.rect.y, box.rect.x + box.rect.width, box.rect.y + box.rect.height};
        const COLORREF colour = BoxColour(tree, box);
        HBRUSH fill = CreateSolidBrush(colour);
        FillRect(dc, &r, fill);
        DeleteObject(fill);
        if (box.rect.width > 2 && box.rect.height > 2) FrameWidth(dc, r, Shade(colour, 72), 1);
        char16_t name[260], size[kSizeTextUnits], text[300];
        const bool roomy = box.rect.width > ScaleByDpi(40) && box.rect.height > ScaleByDpi(15);
        if ((box.header || box.end == static_cast<uint32_t>(&box - g_boxes.data()) + 1) && roomy) {
            BoxName(tree, box, name);
            FormatSize(box.size, size);
            SetTextColor(dc, box.kind == BOX_REST || box.kind == BOX_OTHER ? RGB(30, 30, 30) : RGB(255, 255, 255));
            RECT label = {r.left + ScaleByDpi(4), r.top + ScaleByDpi(1), r.right - ScaleByDpi(3),
                          box.header ? r.top + header : r.bottom - ScaleByDpi(2)};
            // A leaf with room for two lines puts the size under the name.
            const bool twoLines = !box.header && box.rect.height > ScaleByDpi(34);
            FormatText(text, 300, twoLines ? u"%s\n%s" : u"%s  %s", name, size);
            DrawTextW(dc, WideText(text), -1, &label,
                      DT_LEFT | DT_TOP | DT_END_ELLIPSIS | DT_NOPREFIX | (twoLines ? 0 : DT_SINGLELINE));
        }
        if (box.depth == 0 && box.row == selected && selected >= 0) {
            selectedBox = r;
            outline = &selectedBox;
        }
        if (typeChosen && box.kind == BOX_FILE) {
            const SpaceFile& file = tree.Folder(box.folder).kept[box.file];
            char16_t ext[kSpaceExtensionUnits + 1];
            const bool counted = SpaceExtensionOf(tree.Name(file.name), file.nameLength, ext);
            const bool match = chosen.other ? !counted || !tree.ExtensionCounted(ext) : counted && Text16Equal(ext, chosen.ext);
            if (match) marked.push_back(r);
        }
    }
    // Drawn last, so no box covers them.
    for (const RECT& r : marked) {
        FrameWidth(dc, r, RGB(255, 255, 255), 2);
        RECT inner = r;
        InflateRect(&inner, -2, -2);
        FrameWidth(dc, inner, RGB(0, 0, 0), 1);
    }
    if (outline) FrameWidth(dc, *outline, RGB(20, 20, 20), ScaleByDpi(2) > 1 ? ScaleByDpi(2) : 2);
}

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC target = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = dc ? CreateCompatibleBitmap(target, client.right, client.bottom) : nullptr;
    if (!dc || !bitmap) {
        if (dc) DeleteDC(dc);
        EndPaint(window, &ps);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (!BoxesCurrent()) Layout(window);
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    HFONT font = CreateUiFont(12);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    if (tree) PaintBoxes(dc, *tree);
    PaintLegend(dc, window);
    if (oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window, &ps);
}

int32_t BoxAt(HWND window, LPARAM point) {
    if (!BoxesCurrent()) Layout(window);
    return NestedBoxAt(g_boxes, static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
}

// The tooltip's lines: the box's path, then its numbers.
void DescribeBox(const SpaceTree& tree, const NestedBox& box, wchar_t* out, int capacity) {
    char16_t path[1024], name[260];
    SpaceFolderPath(tree, box.folder, g_szSystemDrive, path, 1024);
    if (box.kind != BOX_FOLDER) {
        BoxName(tree, box, name);
        const size_t length = std::char_traits<char16_t>::length(path);
        FormatText(path + length, static_cast<int>(1024 - length), path[length - 1] == u'\\' ? u"%s" : u"\\%s", name);
    }
    if (box.kind == BOX_UNCOUNTED) Text16CopyTruncated(path, 1024, u"（未统计）");
    char16_t size[kSizeTextUnits], space[kSizeTextUnits], files[kCountTextUnits], text[1400];
    const bool denied = (box.flags & SPACE_DENIED) != 0;
    FormatSize(box.size, size);
    FormatSize(box.space, space);
    FormatCount(box.files, files, kCountTextUnits);
    const int32_t share = SpaceShare(box.size, g_nRowsTotal);
    if (denied)
        FormatText(text, 1400, u"%s\n大小：无法读取\n占用空间：无法读取", path);
    else if (box.kind == BOX_UNCOUNTED)
        FormatText(text, 1400, u"%s\n大小：%s\n占比：%d.%d%%", path, size, share / 10, share % 10);
    else
        FormatText(text, 1400, u"%s\n大小：%s\n占用空间：%s\n占比：%d.%d%%\n文件数：%s", path, size, space, share / 10,
                   share % 10, files);
    Text16CopyTruncated(reinterpret_cast<char16_t*>(out), static_cast<size_t>(capacity), text);
}

void CreateTip(HWND window) {
    g_hTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                             0, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!g_hTip) return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    // Transparent: a pointer that jumps onto the tip still moves over the map.
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    tool.hwnd = window;
    tool.uId = 1;
    g_szTip[0] = 0;
    tool.lpszText = g_szTip;
    SendMessageW(g_hTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // A width lets the text break at its line feeds.
    SendMessageW(g_hTip, TTM_SETMAXTIPWIDTH, 0, ScaleByDpi(640));
}

void HideTip(HWND window) {
    if (!g_hTip || !g_bTipShown) return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = 1;
    SendMessageW(g_hTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    g_bTipShown = false;
    g_nHover = -1;
}

void OnTreemapMouseMove(HWND window, LPARAM point) {
    if (!g_bTracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        g_bTracking = TrackMouseEvent(&track) != 0;
    }
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    const int32_t box = tree ? BoxAt(window, point) : -1;
    if (box < 0 || !g_hTip) {
        HideTip(window);
        return;
    }
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = 1;
    if (box != g_nHover) {
        DescribeBox(*tree, g_boxes[box], g_szTip, 1024);
        tool.lpszText = g_szTip;
        SendMessageW(g_hTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        // Its window text too: GetWindowText from another process (a screen
        // reader, the GUI tests' probe) reads that, not the tip's own text.
        SetWindowTextW(g_hTip, g_szTip);
    }
    POINT at = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    ClientToScreen(window, &at);
    SendMessageW(g_hTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x + ScaleByDpi(14), at.y + ScaleByDpi(18)));
    if (!g_bTipShown) SendMessageW(g_hTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    g_bTipShown = true;
    g_nHover = box;
}

LRESULT CALLBACK TreemapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateTip(window);
        return 0;
    case WM_DESTROY:
        if (g_hTip) DestroyWindow(g_hTip);
        g_hTip = nullptr;
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        g_boxesValid = false;
        HideTip(window);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        OnTreemapMouseMove(window, lParam);
        return 0;
    case WM_MOUSELEAVE:
        g_bTracking = false;
        HideTip(window);
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam) HideTip(window);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_LBUTTONDOWN: {
        // A box at any depth selects the row of the shown folder it lies in.
        const int32_t box = BoxAt(window, lParam);
        if (box >= 0 && g_boxes[box].row >= 0) SelectSpaceRow(g_boxes[box].row);
        // The keys (Enter, Backspace) keep working.
        HWND list = SpaceControl(IDC_LIST_SPACE);
        if (list && IsWindowVisible(list)) SetFocus(list);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        const int32_t box = BoxAt(window, lParam);
        uint32_t shown = 0;
        SpaceTreeShown(&shown);
        if (box >= 0 && g_boxes[box].folder != shown) {
            HideTip(window);
            ShowSpaceFolder(g_boxes[box].folder);
        }
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterTreemapClass() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = TreemapProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kTreemapClass;
    registered = RegisterClassExW(&wc) != 0;
    return registered;
}
