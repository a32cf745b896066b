// System Restore through the system's own interfaces, behind a seam: the
// program links platform/restore_points_win32.cpp (WMI through COM, and
// srclient.dll from the system folder), the GUI tests a stand-in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ShadowStorageRow {
    std::u16string volume;  // Win32_ShadowStorage.Volume: a WMI path to a Win32_Volume
    uint64_t used;          // UsedSpace, bytes
};

struct RestorePointFacts {
    std::vector<ShadowStorageRow> storage;  // one per volume that has shadow storage
    std::vector<uint32_t> sequences;        // SystemRestore.SequenceNumber of each point
};

// Reads root\cimv2 Win32_ShadowStorage and root\default SystemRestore.
// Call on a thread that has not initialised COM, or has for the
// multithreaded apartment. False, with the HRESULT, when WMI cannot answer
// both (both need administrator rights).
bool ReadRestorePoints(RestorePointFacts* out, int32_t* hresult);

// SRRemoveRestorePoint of srclient.dll, loaded from the system folder only:
// its Win32 result (0 removed), or ERROR_PROC_NOT_FOUND / the load error
// when the library or the call is not there.
uint32_t RemoveRestorePoint(uint32_t sequence);
