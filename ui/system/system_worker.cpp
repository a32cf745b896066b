// The system-space page's worker: runs one action (a system tool, or System
// Restore through WMI), measures what it acted on and the drive's free space
// before and after, and posts the result to the window.
#include "ui/shell/workers.h"
#include "ui/system/system_page_internal.h"

#include "platform/post.h"
#include "platform/restore_points.h"
#include "platform/system_tools.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/system/system_page.h"

#include <string>

namespace {

struct ToolRun {
    HWND window;
    bool progress;  // post DISM's progress bar to the window
    int32_t lastProgress;
    LineSplitter splitter;
    ToolLines lines;
};

void KeepLine(const std::string& line, void* context) {
    ToolRun* run = static_cast<ToolRun*>(context);
    const int32_t progress = ParseDismProgress(line.c_str());
    if (progress >= 0) {
        if (run->progress && progress != run->lastProgress)
            PostWindowMessage(run->window, MSG_SYSTEM_PROGRESS, static_cast<uintptr_t>(progress), 0);
        run->lastProgress = progress;
        return;  // a bar is no message
    }
    if (run->lines.size() < 2000) run->lines.push_back(line);
}

void TakeOutput(const char* bytes, size_t count, void* context) {
    SplitToolOutput(&static_cast<ToolRun*>(context)->splitter, bytes, count, KeepLine, context);
}

// The tool's line, from its console code page: without /English it speaks
// the system's language.
void MessageText(const ToolLines& lines, char16_t* out, int capacity) {
    out[0] = 0;
    const int32_t at = ToolMessageLine(lines);
    if (at < 0) return;
    const std::string& line = lines[static_cast<size_t>(at)];
    int units = MultiByteToWideChar(CP_OEMCP, 0, line.data(), static_cast<int>(line.size()), WideText(out), capacity - 1);
    if (units < 0) units = 0;
    out[units] = 0;
    // The blanks DISM indents with.
    int start = 0;
    while (out[start] == u' ') ++start;
    if (start) Text16CopyTruncated(out, static_cast<size_t>(capacity), out + start);
}

// Runs the action's tool. False, with the status text written, when it
// could not be started or failed.
bool RunTool(SystemJob* job, SystemResult* result, ToolRun* run) {
    const SystemCommand* command = SystemActionCommand(job->action);
    run->window = job->window;
    run->progress = job->action == SA_COMPONENTS_CLEAN;
    run->lastProgress = -1;
    uint32_t exitCode = 0, error = 0;
    if (!RunSystemTool(WideText(command->program), WideText(command->arguments), TakeOutput, run, &exitCode, &error)) {
        ToolStartFailureText(command->program, error, result->text, 512);
        return false;
    }
    FinishToolOutput(&run->splitter, KeepLine, run);
    if (exitCode != 0) {
        char16_t message[256];
        MessageText(run->lines, message, 256);
        ToolFailureText(job->action, exitCode, message, result->text, 512);
        return false;
    }
    return true;
}

bool FreeBytes(const SystemJob* job, uint64_t* bytes) { return DriveFreeBytes(WideText(job->root), bytes); }

void Analyze(SystemJob* job, SystemResult* result, bool sayIt) {
    ToolRun run;
    SystemJob analysis = *job;
    analysis.action = SA_COMPONENTS_ANALYZE;
    char16_t text[512];
    SystemResult scratch = {};
    if (!RunTool(&analysis, &scratch, &run)) {
        result->facts.components = FACT_UNREADABLE;
        if (sayIt) Text16CopyTruncated(result->text, 512, scratch.text);
        return;
    }
    result->facts.report = ParseComponentStoreReport(run.lines);
    result->facts.components = result->facts.report.ok ? FACT_READ : FACT_UNREADABLE;
    if (!sayIt) return;
    if (result->facts.report.ok)
        ComponentStoreSummary(result->facts.report, text, 512);
    else
        UnreadableOutputText(SA_COMPONENTS_ANALYZE, text, 512);
    Text16CopyTruncated(result->text, 512, text);
}

void ReadReserved(SystemJob* job, SystemResult* result, bool sayIt) {
    ToolRun run;
    SystemJob reading = *job;
    reading.action = SA_RESERVED_READ;
    SystemResult scratch = {};
    if (!RunTool(&reading, &scratch, &run)) {
        result->facts.reserved = FACT_UNREADABLE;
        if (sayIt) Text16CopyTruncated(result->text, 512, scratch.text);
        return;
    }
    result->facts.reservedState = ParseReservedStorageState(run.lines);
    result->facts.reserved = result->facts.reservedState != RESERVED_UNREADABLE ? FACT_READ : FACT_UNREADABLE;
    if (!sayIt) return;
    if (result->facts.reserved == FACT_READ)
        FormatText(result->text, 512, u"保留的存储：%s",
                   result->facts.reservedState == RESERVED_ENABLED ? u"已启用" : u"已关闭");
    else
        UnreadableOutputText(SA_RESERVED_READ, result->text, 512);
}

// System Restore as WMI tells it: the points, and the shadow storage used
// on the system drive's volume alone (other volumes keep their own).
bool ReadRestore(SystemJob* job, SystemResult* result, std::vector<uint32_t>* sequences, int32_t* hresult) {
    RestorePointFacts facts;
    if (!ReadRestorePoints(&facts, hresult)) {
        result->facts.restore = FACT_UNREADABLE;
        return false;
    }
    wchar_t volume[64];
    if (!GetVolumeNameForVolumeMountPointW(WideText(job->root), volume, 64)) volume[0] = 0;
    uint64_t used = 0;
    for (const ShadowStorageRow& row : facts.storage)
        if (ShadowStorageOnVolume(row.volume.c_str(), Text16(volume))) used += row.used;
    result->facts.restore = FACT_READ;
    result->facts.shadowUsed = used;
    result->facts.restorePoints = static_cast<int32_t>(facts.sequences.size());
    *sequences = facts.sequences;
    return true;
}

void Run(SystemJob* job, SystemResult* result) {
    const SystemAction action = job->action;
    uint64_t before = 0, after = 0;
    bool freeKnown = false;
    switch (action) {
    case SA_HIBER_REDUCE:
    case SA_HIBER_OFF:
    case SA_COMPONENTS_CLEAN:
    case SA_RESERVED_OFF: {
        freeKnown = FreeBytes(job, &before);
        ToolRun run;
        const bool done = RunTool(job, result, &run);
        if (done) {
            freeKnown = FreeBytes(job, &after) && freeKnown;
            ActionDoneText(action, freeKnown, before, after, result->text, 512);
        }
        // Measured again whatever the outcome: a tool may fail half-way.
        if (action == SA_COMPONENTS_CLEAN && done) Analyze(job, result, false);
        if (action == SA_RESERVED_OFF) ReadReserved(job, result, false);
        if (action == SA_HIBER_REDUCE || action == SA_HIBER_OFF) ReadSystemFiles(job->root, &result->facts);
        return;
    }
    case SA_COMPONENTS_ANALYZE:
        Analyze(job, result, true);
        return;
    case SA_RESERVED_READ:
        ReadReserved(job, result, true);
        return;
    case SA_RESTORE_READ: {
        std::vector<uint32_t> sequences;
        int32_t hresult = 0;
        if (!ReadRestore(job, result, &sequences, &hresult)) {
            WmiFailureText(action, hresult, result->text, 512);
            return;
        }
        char16_t used[kSizeTextUnits];
        FormatSize(result->facts.shadowUsed, used);
        FormatText(result->text, 512, u"系统还原点：%d 个，卷影存储已用 %s", result->facts.restorePoints, used);
        return;
    }
    case SA_RESTORE_DELETE: {
        std::vector<uint32_t> sequences;
        int32_t hresult = 0;
        if (!ReadRestore(job, result, &sequences, &hresult)) {
            WmiFailureText(action, hresult, result->text, 512);
            return;
        }
        freeKnown = FreeBytes(job, &before);
        int32_t removed = 0, refused = 0;
        uint32_t firstError = 0;
        for (uint32_t sequence : OldRestorePoints(sequences)) {
            const uint32_t error = RemoveRestorePoint(sequence);
            if (error == 0) {
                ++removed;
            } else if (refused++ == 0) {
                firstError = error;
            }
        }
        freeKnown = FreeBytes(job, &after) && freeKnown;
        RestoreRemovalText(removed, refused, firstError, freeKnown, before, after, result->text, 512);
        if (!ReadRestore(job, result, &sequences, &hresult)) result->facts.restore = FACT_UNREADABLE;
        return;
    }
    default:
        return;
    }
}

uint32_t SystemThread(void* parameter) {
    SystemJob* job = static_cast<SystemJob*>(parameter);
    SystemResult* result = new SystemResult();
    result->action = job->action;
    Run(job, result);
    if (!PostWindowMessage(job->window, MSG_SYSTEM_DONE, 0, reinterpret_cast<intptr_t>(result))) delete result;
    delete job;
    return 0;
}

WorkerKind g_systemWork = {SystemThread, {0}};

}  // namespace

bool StartSystemWorker(SystemJob* job) {
    // The page says a failed start in its own status line.
    if (StartWorker(&g_systemWork, job, WorkerFailureSay{-1, nullptr, false})) return true;
    delete job;
    return false;
}

void ReadSystemFiles(const char16_t* root, SystemFacts* facts) {
    uint64_t size = 0;
    RootFileState state = RootFileSize(WideText(root), L"hiberfil.sys", &size);
    facts->hiberFile = state == ROOT_FILE_FOUND ? FACT_READ : state == ROOT_FILE_ABSENT ? FACT_ABSENT : FACT_UNREADABLE;
    facts->hiberBytes = size;
    int32_t enabled = -1, type = -1;
    ReadHibernationSettings(&enabled, &type);
    facts->hiber = state == ROOT_FILE_UNREADABLE ? HIBER_UNKNOWN : HibernationStateOf(state == ROOT_FILE_FOUND, enabled, type);
    state = RootFileSize(WideText(root), L"pagefile.sys", &size);
    facts->pageFile = state == ROOT_FILE_FOUND ? FACT_READ : state == ROOT_FILE_ABSENT ? FACT_ABSENT : FACT_UNREADABLE;
    facts->pageBytes = size;
}
