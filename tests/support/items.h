// Catalogue items made up by a test, for locations below the test tree.
#pragma once

#include "engine/catalogue.h"

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
