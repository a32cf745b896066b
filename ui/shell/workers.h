// The one way the window runs background work: a thread per job, counted,
// its failure to start said with the one message there is. The body hands
// its result back by posting a message to the window, which routes it to
// the page that started it. Thread handles are closed at once, never waited for.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// Workers that have been started and have not yet returned. The process
// does not run its exit-time clean-up while one is live.
extern std::atomic<int32_t> g_nLiveWorkers;

// One kind of job: its body, and how many of its threads have not returned.
struct WorkerKind {
    uint32_t (*body)(void* parameter);
    std::atomic<int32_t> live;
};

// Where a start failure is said: the page's status line (page < 0: none), a
// label (when given) and, with box, a message box over the window.
struct WorkerFailureSay {
    int page;
    HWND label;
    bool box;
};

extern const char16_t kWorkerFailed[];

// Starts kind's body on a new thread with parameter; when no thread can be
// made, says so and returns false.
bool StartWorker(WorkerKind* kind, void* parameter, const WorkerFailureSay& say);
bool WorkerLive(const WorkerKind& kind);
