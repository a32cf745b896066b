// The shell around the pages: the sidebar and its tabs, the mode button,
// the warning bar, the status band with each page's status line and the
// free-space readout, the ticker; and what every page builds on: lengths
// and fonts at the window's DPI, the table its controls are made from, the
// way it tells the other pages something. The shell never calls a page:
// the window's routing (app/) does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "uimodel/layout_calc.h"

enum { PAGE_CLEANUP = 0, PAGE_LARGE = 1, PAGE_SPACE = 2, PAGE_SYSTEM = 3, kPageCount = 4 };
enum { PAGE_ALWAYS = -1 };  // a control of the shell seen on every page

// scale.cpp
int ScaleByDpi(int x);
HFONT CreateUiFont(int height);
// The DPI of the monitor the window is on; 0 where the system cannot say.
int WindowMonitorDpi(HWND window);

// One control of a page: made, shown with its page, given the controls'
// font and placed in its layout slot, all from this row.
struct ControlRow {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    DWORD style;  // WS_CHILD is added; WS_VISIBLE comes with the page
    DWORD exStyle;
    LayoutRect MainLayout::*slot;  // null: the page places it itself
    int page;                      // the page it is seen on, or PAGE_ALWAYS
};

// controls.cpp: the passes over a table. handles[i] is rows[i]'s window
// (null when it could not be made).
void CreateControlRows(HWND parent, const ControlRow* rows, int count, HWND* handles);
void ShowControlRows(const ControlRow* rows, const HWND* handles, int count, int page);
void SetControlRowsFont(const HWND* handles, int count, HFONT font);
void PlaceControlRows(const ControlRow* rows, const HWND* handles, int count, const MainLayout& layout);
HWND ControlRowWindow(const ControlRow* rows, const HWND* handles, int count, int id);
// A report list's column; the arrow on the sorted column's header (-1: none);
// the first column takes what the others (widths at 96 DPI) leave, and at
// least widths[0].
void AddListColumn(HWND list, int index, const wchar_t* title, int width);
void ShowListSortArrow(HWND list, int sorted, bool ascending);
// Selects and focuses row of a list of count rows and scrolls it into view;
// nothing for a row outside them.
void SelectListRow(HWND list, int32_t row, int32_t count);
void FitListColumns(HWND list, const int* widths, int count, int listWidth);
// For a list's custom draw of one cell: the cell's rectangle in *cell with
// the row's background painted as the list paints its other cells (strong
// only while the list has the focus); *strong says which. False when the
// cell cannot be had: the list then draws it itself.
bool PaintListCellBack(HWND list, HDC dc, int row, int column, RECT* cell, bool* strong);
void SetListStyles(HWND list);
// A count's digits grouped as the user's locale writes them ("200,000"),
// into out of capacity units (kCountTextUnits suffice).
constexpr int kCountTextUnits = 96;
void FormatCount(uint64_t count, char16_t* out, int capacity);

// The shell's own controls (controls.cpp).
void CreateShellControls(HWND window);
void PlaceShellControls(const MainLayout& layout);
// The shared 13-pixel font at the current DPI, made again; the one it
// replaces is deleted by DropPreviousControlFont once no control holds it
// (ForgetCachedFonts then drops the painting's own).
HFONT RenewControlFont();
void DropPreviousControlFont();
void SetShellFont(HFONT font);

// paint.cpp
int32_t CurrentPage();
// The page's own line in the status band (shown while the page is).
void SetPageStatus(int page, const char16_t* text);
const char16_t* ShownStatusText();
// The page chosen: the shell's controls of it shown, the tabs drawn again.
void SelectPage(int page);
// Runs the ticker's timer only while it can be seen; call when the page, the
// window's visibility or its minimized state changes.
void UpdateTicker();
bool TickerRunning();
// The ticker's cycle is a length at the old scale: measured again.
void ResetTickerCycle();
// Reads how full the system drive is, for the status band's readout, and
// repaints it (the main thread only). False, changing nothing, when the
// system cannot say.
bool RefreshFreeSpace(uint64_t* freeBytes);
// Drops fonts made at the previous DPI; they are made again when next needed.
void ForgetCachedFonts();
LRESULT OnPaint(HWND window);
LRESULT OnDrawItem(const DRAWITEMSTRUCT* item);
LRESULT OnCtlColorStatic(HDC dc, HWND control);
LRESULT OnTimer(WPARAM timer);

// What one page tells the others: sent to the window, whose routing hands
// it to every page (synchronously, in the sender's order).
enum PageNote { NOTE_LARGE_FILE_DELETED = 1 };
void TellPages(PageNote note);
