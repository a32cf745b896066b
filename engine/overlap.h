// Catalogue items that reach one folder under different paths (%TEMP% and
// %LOCALAPPDATA%\Temp on a default Windows; the two 临时文件 items) are told
// apart by the folder's identity, never by the text, so that their bytes are
// counted once.
#pragma once

#include <cstdint>

// Which items a caller counts as ticked: the ticks now, or a run's confirmed set.
typedef bool (*ItemTicked)(int group, int item);

// Takes the identity of every catalogue item's folder and sets the items'
// folderKey. Any thread; opens each location once, following no link.
void NoteSharedFolders();

// Whether another ticked item already covers this ticked one: both reach
// the same folder and the other takes all of it (when both do, the first in
// catalogue order covers the later one). A covered item adds nothing to an
// estimate and is cleaned after the item that covers it.
// Which folder an item reaches: keys as NoteSharedFolders left them, or a
// caller's snapshot of them.
typedef int32_t (*ItemFolderKey)(int group, int item);
int32_t LiveFolderKey(int group, int item);
bool CoveredByAnother(int group, int item, ItemTicked ticked, ItemFolderKey key = LiveFolderKey);

// Whether another item of the same group covers this one, every item of the
// group counted: what the group's row adds up, whatever is ticked.
bool CoveredWithinGroup(int group, int item);

// The ticks as they are now.
bool TickedNow(int group, int item);
