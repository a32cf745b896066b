// Resource identifiers shared by app.rc and the program.
#pragma once

#define IDI_APP_ICON 101
