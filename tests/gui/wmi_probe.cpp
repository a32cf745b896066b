// Prints what the system's WMI answers to the system-space page's two
// queries, as JSON: {"ok":1,"storage":[[volume,used]…],"points":[…]} or
// {"ok":0,"hresult":"0x…"}.
#include "platform/restore_points.h"

#include <cstdio>

int wmain() {
    RestorePointFacts facts;
    int32_t result = 0;
    if (!ReadRestorePoints(&facts, &result)) {
        std::printf("{\"ok\":0,\"hresult\":\"0x%08lx\"}\n", static_cast<unsigned long>(static_cast<uint32_t>(result)));
        return 0;
    }
    std::printf("{\"ok\":1,\"storage\":[");
    for (size_t i = 0; i < facts.storage.size(); ++i) {
        std::printf("%s[\"", i ? "," : "");
        for (char16_t c : facts.storage[i].volume) std::printf(c < 128 && c != '"' && c != '\\' ? "%c" : "\\u%04x", c);
        std::printf("\",%llu]", static_cast<unsigned long long>(facts.storage[i].used));
    }
    std::printf("],\"points\":[");
    for (size_t i = 0; i < facts.sequences.size(); ++i) std::printf("%s%u", i ? "," : "", facts.sequences[i]);
    std::printf("]}\n");
    return 0;
}
