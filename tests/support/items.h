// Catalogue items made up by a test, for locations below the test tree.
#pragma once

#include "engine/catalogue.h"
#include "engine/clean.h"

#include <initializer_list>
#include <string>

struct TestItem {
    std::u16string path;
    CleanupItem item{};

    TestItem(std::u16string location, int32_t mode, std::initializer_list<const char16_t*> patterns = {},
             const char16_t* name = u"测试项") : path(std::move(location)) {
        item.name = name;
        item.path = path.c_str();
        int i = 0;
        for (const char16_t* pattern : patterns) item.patterns[i++] = pattern;
        item.mode = mode;
    }
    TestItem(const TestItem&) = delete;
    TestItem& operator=(const TestItem&) = delete;
};

// Cleans dir as the program cleans an item: PrepareLocation and the guard,
// then the one walker. Every single removal's result is added to tally.
inline void CleanAs(const std::u16string& dir, int32_t mode, CleanTally* tally,
                    std::initializer_list<const char16_t*> patterns = {}) {
    TestItem item(dir, mode, patterns);
    CleanItem(&item.item, nullptr, nullptr, tally);
}
