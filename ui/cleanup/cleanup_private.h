// Between the cleanup page's files: its controls, its phase and its list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "uimodel/page_phase.h"

// cleanup_state.cpp: the page's state and the passes over its table.
HWND CleanupControl(int id);
void CreateCleanupControls(HWND window);
CleanupPhase CleanupCurrentPhase();
// The only writer of the page's enabled states and of g_bCleanBusy.
void SetCleanupPhase(CleanupPhase phase);
// The enabled states again, for the same phase (the list's selection or view changed).
void ApplyCleanupEnabled();
void SetCleanupStatus(const char16_t* text);
bool CleanupShowsLog();
void SetCleanupShowsLog(bool log);
// Whether a group's rows show its items; the flags by group index.
bool GroupExpanded(int group);
void FlipGroupExpanded(int group);
const int32_t* ExpandedGroups();
int32_t GetRowTag(int row);
int32_t IsRowSelected(int row);
// The catalogue item of the list's selected row; false for a group row or none.
bool SelectedCleanupItem(int* group, int* item);
// The run's items cleaned and bytes freed so far.
void CountCleanedItem(uint64_t freed);
void CleanupRunTotals(int32_t* items, uint64_t* bytes);
void ResetCleanupRunTotals();

// cleanup_list.cpp
void AppendListRow(const char16_t* text, int tag);
void UpdateTotalLabel();
void RefreshSizeColumn();
void RebuildCleanupList();
// The list's two views. A run's log starts with its counters at zero.
void SwitchToLogView();
void SwitchToCatalogueView();
LRESULT OnCleanupListNotify(NMHDR* header);
LRESULT OnSelectAllCommand(bool select);

// cleanup_draw.cpp: the catalogue rows' custom drawing and the log's colours.
LRESULT DrawCleanupRow(NMLVCUSTOMDRAW* draw);

// cleanup_run.cpp: the page's commands and its workers' messages.
LRESULT OnStartMeasure(HWND window);
LRESULT OnMeasureFinished(HWND window);
LRESULT OnCleanCommand(HWND window);
LRESULT OnSelectionMeasured(HWND window, WPARAM estimate);
LRESULT OnCleanActivity(WPARAM name, LPARAM deleted);
LRESULT OnCleanProgress(WPARAM record);
LRESULT OnCleanFinished(HWND window);
LRESULT OnRescanCommand(HWND window);
LRESULT OnDiskCleanCommand();
LRESULT OnPreviewCommand();
// A large file went: the page measures again as soon as it is idle.
void MeasureCleanupAgainWhenIdle(HWND window);
