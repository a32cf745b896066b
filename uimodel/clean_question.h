// What the user is asked before a cleaning run, from the catalogue's ticks
// and the sizes just measured.
#pragma once

#include <cstdint>

// The question for a run of about `estimate` bytes. Each ticked caution item
// is listed with its size and what it holds: its files are the user's own
// and go for good. Returns whether one is listed; then Return must answer
// 否. A question that does not fit is cut at a line.
bool CleanQuestionText(uint64_t estimate, char16_t* out, int capacity);

// Whether any item is ticked: with none there is nothing to ask about.
bool AnyItemTicked();

// The name a catalogue row shows: a caution item's ends with "(慎用)".
void RowItemName(int group, int item, char16_t* out, int capacity);
