// Stand-in for the privilege operations in the GUI tests' build of
// the program. Wine always runs as administrator, so the answer comes from
// NORVALE_TEST_ADMIN (0 or 1); NORVALE_TEST_FAIL names the operations that
// fail ("unelevated", "elevated"); every call is appended to the file
// NORVALE_TEST_CALLS. The starts launch nothing.
#include "platform/privilege_ops.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Record(const char* call) {
    const char* path = std::getenv("NORVALE_TEST_CALLS");
    if (!path) return;
    FILE* file = std::fopen(path, "a");
    if (!file) return;
    std::fprintf(file, "%s\n", call);
    std::fclose(file);
}

bool Fails(const char* operation) {
    const char* fail = std::getenv("NORVALE_TEST_FAIL");
    return fail && std::strstr(fail, operation);
}

}  // namespace

bool PrivilegeTokenIsAdmin() {
    Record("is-admin");
    const char* admin = std::getenv("NORVALE_TEST_ADMIN");
    return !admin || std::strcmp(admin, "0") != 0;
}

bool PrivilegeStartUnelevated(const wchar_t*) {
    Record("start-unelevated");
    return !Fails("unelevated");
}

bool PrivilegeStartElevated(const wchar_t*) {
    Record("start-elevated");
    return !Fails("elevated");
}
