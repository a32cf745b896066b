// Reading what the system's own tools print: DISM's English output
// (/AnalyzeComponentStore, /Get-ReservedStorageState, its progress bar) and
// the last message of a tool that failed. The tools write bytes in the
// console's code page; with /English those of interest are ASCII, so a line
// in another language, cut off or without its numbers reads as unknown,
// never as a number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<std::string> ToolLines;

// A DISM size such as "7.85 GB", "512.00 KB", "0 bytes" (units of 1024, as
// DISM counts them; ',' is taken as the decimal mark too, since DISM
// formats the number in the user's locale even with /English).
bool ParseDismSize(const char* text, uint64_t* bytes);

// What /AnalyzeComponentStore reports. Read only when every field below was
// found and read; otherwise ok is false and nothing else may be shown.
struct ComponentStoreReport {
    bool ok;
    uint64_t explorerSize;   // "Windows Explorer Reported Size of Component Store"
    uint64_t actualSize;     // "Actual Size of Component Store"
    uint64_t shared;         // "Shared with Windows"
    uint64_t backups;        // "Backups and Disabled Features"
    uint64_t cache;          // "Cache and Temporary Data"
    int32_t reclaimablePackages;
    bool recommended;        // "Component Store Cleanup Recommended : Yes"
};
ComponentStoreReport ParseComponentStoreReport(const ToolLines& lines);

enum ReservedStorageState { RESERVED_UNREADABLE, RESERVED_ENABLED, RESERVED_DISABLED };
ReservedStorageState ParseReservedStorageState(const ToolLines& lines);

// DISM's progress bar "[====   40.0%   ====]" in tenths of a percent
// (0 to 1000); -1 for any other line.
int32_t ParseDismProgress(const char* line);

// The line that says why a tool failed: the first message after DISM's
// "Error: ..." line when there is one, else the last line that is not
// blank, the progress bar or DISM's pointer to its log file. -1 when none.
int32_t ToolMessageLine(const ToolLines& lines);

// Splits a tool's output into lines as they arrive: DISM redraws its
// progress bar after a bare carriage return, so '\r' ends a line as '\n'
// does (an empty line between the two of "\r\n" is dropped).
struct LineSplitter {
    std::string pending;
    bool afterReturn = false;
};
typedef void (*LineSink)(const std::string& line, void* context);
void SplitToolOutput(LineSplitter* splitter, const char* bytes, size_t count, LineSink sink, void* context);
// The end of the output: a last line without its end is given too.
void FinishToolOutput(LineSplitter* splitter, LineSink sink, void* context);
