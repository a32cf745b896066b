// The system-space page apart from the window: its five rows, what each
// shows from what has been measured, the actions with the exact command
// each runs and the question asked first, and the texts of their results.
#pragma once

#include "uimodel/system_output.h"

#include <cstdint>
#include <vector>

enum SystemItem { SYS_HIBERNATION, SYS_COMPONENTS, SYS_RESTORE, SYS_RESERVED, SYS_PAGEFILE, SYS_ITEM_COUNT };

enum SystemAction {
    SA_NONE,
    SA_HIBER_REDUCE,
    SA_HIBER_OFF,
    SA_COMPONENTS_ANALYZE,
    SA_COMPONENTS_CLEAN,
    SA_RESTORE_READ,
    SA_RESTORE_DELETE,
    SA_RESERVED_READ,
    SA_RESERVED_OFF,
    SA_PAGEFILE_EXPLAIN,
    SA_COUNT
};

// Each row has two action slots (0 and 1); SA_NONE leaves a slot empty.
constexpr int kSystemActionSlots = 2;
SystemAction SystemRowAction(SystemItem item, int slot);
SystemItem SystemActionItem(SystemAction action);

// A system program started from the system folder by this file name, with
// exactly these arguments. Null for an action that starts none (WMI, 说明).
struct SystemCommand {
    const char16_t* program;
    const char16_t* arguments;
};
const SystemCommand* SystemActionCommand(SystemAction action);
// The DISM reading that follows a DISM action to measure it again; SA_NONE
// for the others (they measure without a tool).
SystemAction SystemActionRemeasure(SystemAction action);
bool SystemActionNeedsAdmin(SystemAction action);
// Changes the system, so it asks first (with Return on 否).
bool SystemActionAsks(SystemAction action);

enum HibernationState { HIBER_UNKNOWN, HIBER_FULL, HIBER_REDUCED, HIBER_OFF, HIBER_ON };
// From the file in the root and the power settings HibernateEnabled and
// HiberFileType (1 reduced, 2 full); -1 where a value could not be read.
HibernationState HibernationStateOf(bool fileExists, int32_t enabled, int32_t fileType);

enum FactState { FACT_NOT_READ, FACT_READ, FACT_ABSENT, FACT_UNREADABLE };

struct SystemFacts {
    FactState hiberFile;  // the file's size from the root's listing
    uint64_t hiberBytes;
    HibernationState hiber;
    FactState components;  // FACT_READ: report.ok
    ComponentStoreReport report;
    FactState restore;
    uint64_t shadowUsed;     // bytes of shadow storage used on the system drive
    int32_t restorePoints;
    FactState reserved;
    ReservedStorageState reservedState;
    FactState pageFile;
    uint64_t pageBytes;
};

struct SystemRowText {
    char16_t name[40];
    char16_t size[40];
    char16_t state[64];
    char16_t action[kSystemActionSlots][16];
    bool enabled[kSystemActionSlots];
};
// busy: a system action runs, so no other may start.
void DescribeSystemRow(SystemItem item, const SystemFacts& facts, bool admin, bool busy, SystemRowText* out);

// The question before an action (null for one that asks nothing); the
// restore-point question counts the points that go.
bool SystemQuestionText(SystemAction action, const SystemFacts& facts, char16_t* out, int capacity);
extern const char16_t kSystemQuestionTitle[];
extern const char16_t kPageFileExplanation[];

// What /AnalyzeComponentStore found, in one line for the page's status.
bool ComponentStoreSummary(const ComponentStoreReport& report, char16_t* out, int capacity);
// "已释放 %s" from the drive's free space before and after (never below 0).
void FreedText(uint64_t freeBefore, uint64_t freeAfter, char16_t* out, int capacity);
// "%s失败（退出代码 %s）：%s", the code in hex when it is an HRESULT; a
// message that is null or empty leaves out the part after the code.
bool ToolFailureText(SystemAction action, uint32_t exitCode, const char16_t* message, char16_t* out, int capacity);
// A tool that ran but printed nothing this page can read.
bool UnreadableOutputText(SystemAction action, char16_t* out, int capacity);
// A system program that could not be started, with the Win32 error.
bool ToolStartFailureText(const char16_t* program, uint32_t error, char16_t* out, int capacity);
// WMI or System Restore did not answer (an HRESULT).
bool WmiFailureText(SystemAction action, int32_t hresult, char16_t* out, int capacity);
// A change that ended well: "%s：完成，已释放 %s" (without the part on the
// space when the free space could not be read both times).
bool ActionDoneText(SystemAction action, bool freeKnown, uint64_t freeBefore, uint64_t freeAfter, char16_t* out,
                    int capacity);
// 删除旧的还原点 as it went: how many went, how many the system refused.
bool RestoreRemovalText(int32_t removed, int32_t refused, uint32_t firstError, bool freeKnown, uint64_t freeBefore,
                        uint64_t freeAfter, char16_t* out, int capacity);
// What the page's status says while an action runs; progress in tenths
// of a percent, or -1 for none yet.
bool ActionRunningText(SystemAction action, int32_t progress, char16_t* out, int capacity);

// The System Restore points to remove: every one but the newest (the
// highest sequence number; System Restore numbers them upwards).
std::vector<uint32_t> OldRestorePoints(const std::vector<uint32_t>& sequences);

// Whether Win32_ShadowStorage's Volume reference (a WMI object path such as
// Win32_Volume.DeviceID="\\\\?\\Volume{…}\\") names the volume whose GUID
// path (GetVolumeNameForVolumeMountPointW: \\?\Volume{…}\) is given.
bool ShadowStorageOnVolume(const char16_t* reference, const char16_t* volume);
