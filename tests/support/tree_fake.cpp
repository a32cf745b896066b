#include "tests/fakefs/fakefs.h"
#include "tests/support/tree.h"

#include "platform/fs.h"
#include "text/text16.h"

#include <algorithm>
#include <vector>

namespace {
const std::u16string g_root = u"C:\\t";

void Collect(const std::u16string& path, const std::string& relative, std::vector<std::string>& lines) {
    FsEntry entry;
    FsFind find = FsFindFirst((path + u"\\*").c_str(), &entry);
    if (!find) return;
    do {
        std::u16string name = entry.name;
        if (name == u"." || name == u"..") continue;
        char utf8[1024];
        Utf16ToUtf8(entry.name, utf8, sizeof utf8);
        std::string child = relative.empty() ? utf8 : relative + "/" + utf8;
        uint64_t size = (static_cast<uint64_t>(entry.sizeHigh) << 32) | entry.sizeLow;
        if (entry.attributes & FS_ATTR_REPARSE_POINT) {
            lines.push_back(child + " link");
        } else if (entry.attributes & FS_ATTR_DIRECTORY) {
            lines.push_back(child + " dir");
            Collect(path + u"\\" + name, child, lines);
        } else {
            lines.push_back(child + " file " + std::to_string(size));
        }
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
}
}  // namespace

void TreeFresh() {
    FakeFsReset();
    FakeFsAddDir(g_root.c_str());
}

void TreeRemove() { FakeFsReset(); }

const std::u16string& TreeRoot() { return g_root; }

void TreeDir(const std::u16string& relative) { FakeFsAddDir(TreePath(relative).c_str()); }

void TreeFile(const std::u16string& relative, uint64_t size, uint32_t attributes) {
    FakeFsAddFile(TreePath(relative).c_str(), size, attributes);
}

void TreeFileContent(const std::u16string& relative, const std::string& content) {
    FakeFsAddFile(TreePath(relative).c_str(), content.size());
}

bool TreeDirLinkTo(const std::u16string& relative, const std::u16string& target) {
    FakeFsAddLink(TreePath(relative).c_str(), target.c_str(), true);
    return true;
}

bool TreeDirLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return TreeDirLinkTo(relative, TreePath(targetRelative));
}

bool TreeFileLink(const std::u16string& relative, const std::u16string& targetRelative) {
    FakeFsAddLink(TreePath(relative).c_str(), TreePath(targetRelative).c_str(), false);
    return true;
}

bool TreeHoldOpen(const std::u16string& relative) {
    FakeFsFail(FakeOp::DeleteFile, TreePath(relative).c_str(), FS_ERROR_SHARING_VIOLATION);
    return true;
}

void TreeReleaseHeld() {}

bool TreeSwapForLink(const std::u16string& relative, const std::u16string& targetRelative) {
    FakeFsSwapNow(TreePath(relative).c_str(), TreePath(targetRelative).c_str());
    return true;
}

bool TreeHardLink(const std::u16string&, const std::u16string&) { return false; }

bool TreeReadOnly(const std::u16string& relative) {
    return (FakeFsAttributes(TreePath(relative).c_str()) & FS_ATTR_READONLY) != 0;
}

bool TreeExists(const std::u16string& relative) { return FakeFsExists(TreePath(relative).c_str()); }

std::string TreeManifest(const std::u16string& relative) {
    std::vector<std::string> lines;
    Collect(TreePath(relative), "", lines);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

bool TreeDirLinksRemovable() { return true; }

std::string TreeNativePath(const std::u16string&) { return std::string(); }

const char* TreeBackendName() { return "fake"; }

bool TreeSwapOnEvent(const std::u16string&, bool, const std::u16string&, const std::u16string&) { return false; }
void TreeSwapFinished() {}
