#include "ui/shell/workers.h"

#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/shell.h"

#include <new>

std::atomic<int32_t> g_nLiveWorkers{0};

const char16_t kWorkerFailed[] = u"无法启动后台任务，请稍后重试。";

namespace {

struct Start {
    WorkerKind* kind;
    void* parameter;
};

DWORD WINAPI WorkerThread(LPVOID parameter) {
    // The thread owns its copy: the starter's record is gone by now.
    const Start start = *static_cast<Start*>(parameter);
    delete static_cast<Start*>(parameter);
    const DWORD result = start.kind->body(start.parameter);
    start.kind->live.fetch_sub(1);
    g_nLiveWorkers.fetch_sub(1);
    return result;
}

void SayNotStarted(const WorkerFailureSay& say) {
    if (say.label) SetWindowTextW(say.label, WideText(kWorkerFailed));
    if (say.page >= 0) SetPageStatus(say.page, kWorkerFailed);
    if (say.box) MessageBoxW(g_hMainWnd, WideText(kWorkerFailed), L"提示", MB_ICONWARNING);
}

}  // namespace

bool StartWorker(WorkerKind* kind, void* parameter, const WorkerFailureSay& say) {
    Start* start = new (std::nothrow) Start{kind, parameter};
    HANDLE thread = nullptr;
    if (start) {
        g_nLiveWorkers.fetch_add(1);
        kind->live.fetch_add(1);
        thread = CreateThread(nullptr, 0, WorkerThread, start, 0, nullptr);
        if (!thread) {
            kind->live.fetch_sub(1);
            g_nLiveWorkers.fetch_sub(1);
            delete start;
        }
    }
    if (!thread) {
        SayNotStarted(say);
        return false;
    }
    CloseHandle(thread);
    return true;
}

bool WorkerLive(const WorkerKind& kind) { return kind.live.load() > 0; }
