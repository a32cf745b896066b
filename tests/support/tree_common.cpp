#include "tests/support/tree.h"

std::u16string TreePath(const std::u16string& relative) {
    if (relative.empty()) return TreeRoot();
    return TreeRoot() + u"\\" + relative;
}
