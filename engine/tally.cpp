#include "engine/tally.h"

#include "platform/fs.h"

namespace {

thread_local TallyWatcher t_watcher = nullptr;
thread_local void* t_watcherContext = nullptr;

}  // namespace

void WatchTallies(TallyWatcher watcher, void* context) {
    t_watcher = watcher;
    t_watcherContext = context;
}

void TallyResult(CleanTally* tally, int32_t success, uint32_t error) {
    if (!tally) return;
    if (success) {
        tally->deleted++;
        if (t_watcher) t_watcher(t_watcherContext, tally->deleted);
        return;
    }
    switch (error) {
    case FS_ERROR_ACCESS_DENIED:
        tally->accessDenied++;
        break;
    case FS_ERROR_SHARING_VIOLATION:
    case FS_ERROR_LOCK_VIOLATION:
        tally->inUse++;
        break;
    case FS_ERROR_FILE_NOT_FOUND:
    case FS_ERROR_PATH_NOT_FOUND:
    case FS_ERROR_INVALID_NAME:
        tally->notFound++;
        break;
    default:
        tally->otherError++;
        break;
    }
}
