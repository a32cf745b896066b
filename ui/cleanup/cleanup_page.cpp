// The junk-cleanup page as the routing sees it: its creation, and which of
// its handlers takes a command, a notification or a worker's message.
#include "ui/cleanup/cleanup_page.h"

#include "engine/events.h"
#include "ui/cleanup/cleanup_private.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "uimodel/page_phase.h"

void CleanupCreate(HWND window) {
    CreateCleanupControls(window);
    RebuildCleanupList();
    SetCleanupPhase(CLEANUP_MEASURING);
}

bool CleanupCommand(HWND window, int id, LRESULT* result) {
    switch (id) {
    case IDC_BTN_CLEAN:
        *result = OnCleanCommand(window);
        return true;
    case IDC_BTN_SELECT_ALL:
        *result = OnSelectAllCommand(true);
        return true;
    case IDC_BTN_DESELECT_ALL:
        *result = OnSelectAllCommand(false);
        return true;
    case IDC_BTN_DISK_CLEAN:
        *result = OnDiskCleanCommand();
        return true;
    case IDC_BTN_PREVIEW:
        *result = OnPreviewCommand();
        return true;
    case IDC_BTN_RESCAN:
        *result = OnRescanCommand(window);
        return true;
    default:
        return false;
    }
}

bool CleanupNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_LIST_CLEAN) return false;
    *result = OnCleanupListNotify(header);
    return true;
}

bool CleanupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case MSG_START_MEASURE:
        *result = OnStartMeasure(window);
        return true;
    case MSG_MEASURE_BEGIN:
    case MSG_MEASURE_PROGRESS:
        return true;
    case MSG_MEASURE_FINISHED:
        *result = OnMeasureFinished(window);
        return true;
    case MSG_SELECTION_MEASURED:
        *result = OnSelectionMeasured(window, wParam);
        return true;
    case MSG_CLEAN_ACTIVITY:
        *result = OnCleanActivity(wParam, lParam);
        return true;
    case MSG_CLEAN_PROGRESS:
        *result = OnCleanProgress(wParam);
        return true;
    case MSG_CLEAN_FINISHED:
        *result = OnCleanFinished(window);
        return true;
    default:
        return false;
    }
}

void CleanupNote(HWND window, int note) {
    if (note != NOTE_LARGE_FILE_DELETED) return;
    AppendListRow(u"已删除大文件", -1);
    // The page's rows may hold the file (Downloads): measure again.
    MeasureCleanupAgainWhenIdle(window);
}
