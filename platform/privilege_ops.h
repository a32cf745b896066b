// The privilege operations, behind a link-time seam: the product links
// privilege_ops_win32.cpp; the GUI tests link a stand-in that is told what to
// answer and records the calls.
#pragma once

#include <windows.h>

// Whether the effective token is a member of BUILTIN\Administrators.
bool PrivilegeTokenIsAdmin();
// Starts exe with the desktop shell's (unelevated) token. False when any of
// the shell window, its process, its token, the duplication or the start fails.
bool PrivilegeStartUnelevated(const wchar_t* exe);
// Starts exe elevated ("runas"); false when refused or failed.
bool PrivilegeStartElevated(const wchar_t* exe);
