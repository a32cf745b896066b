// What each page is doing, as one phase, and which of its controls that
// leaves enabled. A page's phase change is the only place that sets its
// controls' enabled states, from these rules.
#pragma once

// The junk-cleanup page. Preparing: 开始清理 was pressed and the ticked items
// are measured before the question. ShowingLog: a run is over and its log
// stays until 重新扫描.
enum CleanupPhase { CLEANUP_MEASURING, CLEANUP_IDLE, CLEANUP_PREPARING, CLEANUP_CLEANING, CLEANUP_SHOWING_LOG };

struct CleanupEnabled {
    bool clean;      // 开始清理
    bool rescan;     // 重新扫描
    bool selectAll;  // 全选 and 取消全选
    bool preview;    // 查看文件
};

// logShown: the list shows a run's log (a measurement may run under it).
// itemSelected: the list's selected row is a catalogue item.
CleanupEnabled CleanupEnabledIn(CleanupPhase phase, bool logShown, bool itemSelected);
// The confirmed set is fixed from the question's measurement to the run's end.
bool CleanupTicksFixed(CleanupPhase phase);

// The large-file scan and the space view's analysis: Stopping is a scan
// asked to stop (the window closed to the tray) whose worker has not ended.
enum ScanPhase { SCAN_IDLE, SCAN_RUNNING, SCAN_STOPPING };

struct SpaceEnabled {
    bool analyze;  // 开始分析
    bool up;       // 上一级
    bool open;     // 打开
};

// 开始扫描 (the large-file page) takes a new scan only when the last has ended.
bool ScanStartEnabled(ScanPhase phase);
// The tree shown stays browsable while a new analysis runs.
SpaceEnabled SpaceEnabledIn(ScanPhase phase, bool haveTree, bool atRoot);
