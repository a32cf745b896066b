// The treemap beside the space list: one rectangle per row, area by size.
// Folders are blues, files take the colour of their kind; the selected row
// is outlined. A click selects the row, a double-click shows a folder.
#include "ui/space/space_private.h"

#include "ui/shell/ids.h"
#include "ui/shell/shell.h"

#include "largefiles/space_tree.h"
#include "text/text16.h"
#include "uimodel/space_rows.h"
#include "uimodel/treemap.h"

#include <vector>

namespace {

// The cells of the rows shown, for the client size they were laid out in.
std::vector<TreemapCell> g_cells;
bool g_cellsValid = false;
uint32_t g_nCellsGeneration = 0;  // the rows' generation they were laid out for

bool CellsCurrent() { return g_cellsValid && g_nCellsGeneration == SpaceRowsGeneration(); }

COLORREF KindColour(FileKind kind) {
    switch (kind) {
    case KIND_VIDEO: return RGB(142, 68, 173);
    case KIND_ARCHIVE: return RGB(230, 126, 34);
    case KIND_IMAGE: return RGB(39, 174, 96);
    case KIND_PROGRAM: return RGB(192, 57, 43);
    default: return RGB(127, 140, 141);
    }
}

COLORREF RowColour(const SpaceTree& tree, uint32_t folder, const SpaceRow& row, int32_t index) {
    switch (row.kind) {
    case SPACE_ROW_FOLDER: {
        // One family, a shade apart for neighbours.
        static const COLORREF kBlues[3] = {RGB(41, 128, 185), RGB(52, 152, 219), RGB(31, 97, 141)};
        return kBlues[index % 3];
    }
    case SPACE_ROW_FILE:
        return KindColour(FileKindOf(tree.Name(tree.Folder(folder).kept[row.file].name)));
    case SPACE_ROW_REST:
        return RGB(189, 195, 199);
    default:
        return RGB(90, 90, 90);
    }
}

void Layout(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    int32_t count = 0;
    const SpaceRow* rows = SpaceRowsShown(&count);
    std::vector<uint64_t> sizes;
    for (int32_t i = 0; i < count; ++i) sizes.push_back(rows[i].size);
    g_cells = SquarifyTreemap(sizes, LayoutRect{0, 0, client.right, client.bottom});
    g_cellsValid = true;
    g_nCellsGeneration = SpaceRowsGeneration();
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
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dc, &client, white);
    if (!CellsCurrent()) Layout(window);
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    int32_t count = 0;
    const SpaceRow* rows = SpaceRowsShown(&count);
    const int32_t selected = SpaceSelectedRow();
    HFONT font = CreateUiFont(12);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const RECT* outline = nullptr;
    RECT chosen;
    for (const TreemapCell& cell : g_cells) {
        if (!tree || cell.index >= count) continue;
        const RECT r = {cell.rect.x, cell.rect.y, cell.rect.x + cell.rect.width, cell.rect.y + cell.rect.height};
        HBRUSH fill = CreateSolidBrush(RowColour(*tree, folder, rows[cell.index], cell.index));
        FillRect(dc, &r, fill);
        DeleteObject(fill);
        FrameRect(dc, &r, white);  // a light seam between neighbours
        if (cell.rect.width > ScaleByDpi(36) && cell.rect.height > ScaleByDpi(16)) {
            char16_t name[260];
            SpaceRowName(*tree, folder, rows[cell.index], name);
            RECT label = {r.left + ScaleByDpi(4), r.top + ScaleByDpi(2), r.right - ScaleByDpi(3), r.bottom - ScaleByDpi(2)};
            DrawTextW(dc, WideText(name), -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        if (cell.index == selected) {
            chosen = r;
            outline = &chosen;
        }
    }
    if (outline) {
        // Drawn last, so no neighbour covers it.
        HBRUSH dark = CreateSolidBrush(RGB(20, 20, 20));
        RECT r = *outline;
        const int width = ScaleByDpi(2) > 1 ? ScaleByDpi(2) : 2;
        for (int i = 0; i < width && r.right - r.left > 2 && r.bottom - r.top > 2; ++i) {
            FrameRect(dc, &r, dark);
            InflateRect(&r, -1, -1);
        }
        DeleteObject(dark);
    }
    if (oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window, &ps);
}

int32_t RowAt(HWND window, LPARAM point) {
    if (!CellsCurrent()) Layout(window);
    return TreemapCellAt(g_cells, static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)));
}

LRESULT CALLBACK TreemapProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        g_cellsValid = false;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        const int32_t row = RowAt(window, lParam);
        if (row >= 0) SelectSpaceRow(row);
        // The keys (Enter, Backspace) keep working.
        if (HWND list = SpaceControl(IDC_LIST_SPACE)) SetFocus(list);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        const int32_t row = RowAt(window, lParam);
        if (row >= 0) ShowSpaceRow(row);
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
