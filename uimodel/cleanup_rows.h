// The cleanup list's row model, apart from the list control: row tags, the
// order in which groups and items are listed, and the log colours.
#pragma once

#include <cstdint>
#include <vector>

// A row tag: a header has bit 31 set and the group index below it; an item
// carries (group << 16) | item; in the log view a tag is a colour code
// (a CleanStatus, or -1 for message lines).
int32_t HeaderTag(int group);
int32_t ItemTag(int group, int item);
bool TagIsHeader(int32_t tag);
int TagGroup(int32_t tag);
int TagItem(int32_t tag);
// Group and item indices of a tag when they name a catalogue entry.
bool TagNamesGroup(int32_t tag, int* group);
bool TagNamesItem(int32_t tag, int* group, int* item);

// One row of the catalogue view: its tag and the bytes its size column shows.
struct CatalogueRow {
    int32_t tag;
    uint64_t size;
};

// Groups largest first (ties in catalogue order), each followed by its items
// largest first when expanded; zero sizes are never listed.
std::vector<CatalogueRow> CatalogueRows(const int32_t* expanded, int expandedCount);

// What the group's items would free together: an item that another item of
// the group covers (same folder) adds nothing.
uint64_t GroupTotal(int group);
// A group's tick box: ticked only when every one of its items is (the
// whole row's size is then in the total), partly when some are, or not.
enum GroupTick { GROUP_TICK_NONE, GROUP_TICK_SOME, GROUP_TICK_ALL };
GroupTick GroupTickState(int group);
// Sum of size over the ticked items of every group, listed or not; an item
// that another ticked item covers (same folder) adds nothing.
uint64_t SelectedTotal();
// Whether the row's group or item is ticked; false for invalid indices.
bool TagSelected(int32_t tag);

// The log tag of a status; values outside 1 to 6 get the tag of CS_DONE.
const char16_t* CleanStatusTag(int32_t status);

// COLORREF (0x00BBGGRR) of a log line with this tag.
uint32_t LogLineColour(int32_t tag);
