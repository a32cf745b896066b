// What a run of one item would delete, file by file, gathered by the same
// walker and guard as the run itself: the preview is the run's contract.
#pragma once

#include "engine/collector.h"

struct CleanupItem;

// Every file a run of the item would delete, largest first (at most
// kPreviewMostFiles of them), with the count and the bytes of all.
void CollectItemFiles(const CleanupItem& item, FileCollector* out);
