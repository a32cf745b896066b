// The native stand-in for PostMessageW: every post is recorded in order, and
// posting can be made to fail, so tests can read what a worker reported.
#pragma once

#include <cstddef>
#include <cstdint>

struct RecordedMessage {
    void* window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

void PostRecorderReset();
size_t PostRecorderCount();
RecordedMessage PostRecorderAt(size_t index);
// Called with each message before it is recorded, on the posting thread
// (a test's way to act between a worker's steps), until reset.
void PostRecorderOnPost(void (*onPost)(uint32_t message));
// From now on posts of `message` succeed without being recorded, until reset.
void PostRecorderIgnore(uint32_t message);
// From now on posts of `message` fail (0 means every message) until reset.
void PostRecorderFailMessage(uint32_t message);
