#include "platform/post.h"
#include "platform/post_record.h"

#include <mutex>
#include <vector>

namespace {
std::mutex g_recorderLock;
std::vector<RecordedMessage> g_recorded;
bool g_failAll = false;
uint32_t g_failMessage = 0;
bool g_failOne = false;
uint32_t g_ignored = 0;
void (*g_onPost)(uint32_t) = nullptr;
}  // namespace

bool PostWindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    void (*onPost)(uint32_t) = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_recorderLock);
        onPost = g_onPost;
    }
    if (onPost) onPost(message);
    std::lock_guard<std::mutex> lock(g_recorderLock);
    if (g_failAll || (g_failOne && message == g_failMessage)) return false;
    if (message == g_ignored) return true;
    g_recorded.push_back(RecordedMessage{window, message, wParam, lParam});
    return true;
}

void PostRecorderReset() {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    g_recorded.clear();
    g_failAll = false;
    g_failOne = false;
    g_ignored = 0;
    g_onPost = nullptr;
}

void PostRecorderOnPost(void (*onPost)(uint32_t message)) {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    g_onPost = onPost;
}

void PostRecorderIgnore(uint32_t message) {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    g_ignored = message;
}

size_t PostRecorderCount() {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    return g_recorded.size();
}

RecordedMessage PostRecorderAt(size_t index) {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    return index < g_recorded.size() ? g_recorded[index] : RecordedMessage{nullptr, 0, 0, 0};
}

void PostRecorderFailMessage(uint32_t message) {
    std::lock_guard<std::mutex> lock(g_recorderLock);
    if (message == 0) {
        g_failAll = true;
    } else {
        g_failOne = true;
        g_failMessage = message;
    }
}
