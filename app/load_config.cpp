// The image's load configuration. Its one field that matters here is the
// dependent-load flags: where the loader looks for the libraries that the
// imports pull in, before the program's first line runs and so before
// SetDefaultDllDirectories can speak. LOAD_LIBRARY_SEARCH_SYSTEM32 keeps the
// program's own folder (Downloads, with whatever lies there) out of it
// (Windows 10 1607 and later read the field). MSVC builds set it with the
// linker's /DEPENDENTLOADFLAG and keep their runtime's own directory.
#if defined(__MINGW32__)
#include <windows.h>

#include <cstddef>

namespace {

// The 64-bit layout up to the safe-exception fields (112 bytes, the size
// linkers wrote before control-flow guard): older headers call the flags
// field Reserved1, newer ones DependentLoadFlags.
struct LoadConfig {
    DWORD Size;
    DWORD TimeDateStamp;
    WORD MajorVersion;
    WORD MinorVersion;
    DWORD GlobalFlagsClear;
    DWORD GlobalFlagsSet;
    DWORD CriticalSectionDefaultTimeout;
    ULONGLONG DeCommitFreeBlockThreshold;
    ULONGLONG DeCommitTotalFreeThreshold;
    ULONGLONG LockPrefixTable;
    ULONGLONG MaximumAllocationSize;
    ULONGLONG VirtualMemoryThreshold;
    ULONGLONG ProcessAffinityMask;
    DWORD ProcessHeapFlags;
    WORD CSDVersion;
    WORD DependentLoadFlags;
    ULONGLONG EditList;
    ULONGLONG SecurityCookie;
    ULONGLONG SEHandlerTable;
    ULONGLONG SEHandlerCount;
};
static_assert(sizeof(LoadConfig) == 112, "the loader reads the fields by offset");
static_assert(offsetof(LoadConfig, DependentLoadFlags) == 78, "the loader reads the fields by offset");

}  // namespace

// After the link, cmake/pe_load_config.py finds the marker in the image and
// points the load configuration directory at the record behind it: this
// toolchain's linker does not. The record stays 8-byte aligned.
struct MarkedLoadConfig {
    char marker[16];
    LoadConfig config;
};
static_assert(offsetof(MarkedLoadConfig, config) == 16, "the record follows the marker");

extern "C" {
extern const MarkedLoadConfig g_NorvaleLoadConfig;
__attribute__((used)) alignas(8) const MarkedLoadConfig g_NorvaleLoadConfig = {
    {'N', 'o', 'r', 'v', 'a', 'l', 'e', 'L', 'o', 'a', 'd', 'C', 'f', 'g', '\0', '\1'},
    {sizeof(LoadConfig), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0, 0, 0}};
}
#endif
