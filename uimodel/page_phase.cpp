#include "uimodel/page_phase.h"

CleanupEnabled CleanupEnabledIn(CleanupPhase phase, bool logShown, bool itemSelected) {
    CleanupEnabled e;
    // 开始清理 waits for a measurement: a run confirmed meanwhile would clean
    // by keys and sizes that change under it. After a run, only 重新扫描
    // brings it back.
    e.clean = phase == CLEANUP_IDLE && !logShown;
    e.rescan = phase == CLEANUP_IDLE || phase == CLEANUP_SHOWING_LOG;
    e.selectAll = !CleanupTicksFixed(phase);
    e.preview = phase != CLEANUP_CLEANING && !logShown && itemSelected;
    return e;
}

bool CleanupTicksFixed(CleanupPhase phase) { return phase == CLEANUP_PREPARING || phase == CLEANUP_CLEANING; }

bool ScanStartEnabled(ScanPhase phase) { return phase == SCAN_IDLE; }

SpaceEnabled SpaceEnabledIn(ScanPhase phase, bool haveTree, bool atRoot) {
    SpaceEnabled e;
    e.analyze = ScanStartEnabled(phase);
    e.up = haveTree && !atRoot;
    e.open = haveTree;
    return e;
}
