// Between the page (system_page.cpp, main thread) and its worker
// (system_worker.cpp): one job at a time, its result posted back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "uimodel/system_rows.h"

struct SystemJob {
    HWND window;
    SystemAction action;
    char16_t root[4];  // "C:\"
};

// What the worker found, for the main thread to take over into its facts:
// only the fields of the job's item are meaningful.
struct SystemResult {
    SystemAction action;
    SystemFacts facts;
    char16_t text[512];  // the page's status afterwards
};

// Starts the job on a worker (which owns and frees it); false when no
// thread could be made.
bool StartSystemWorker(SystemJob* job);

// The two files and the hibernation setting, read where they are asked
// for (no tool runs): into facts' hiber and pageFile fields.
void ReadSystemFiles(const char16_t* root, SystemFacts* facts);
