#include "tests/support/tree.h"

#include "platform/fs.h"
#include "text/text16.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
std::u16string g_root;
std::string g_nativeRoot;

std::string Native(const std::u16string& path) {
    std::vector<char> buffer(path.size() * 3 + 1);
    Utf16ToUtf8(path.c_str(), buffer.data(), buffer.size());
    std::string out = buffer.data();
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

void MakeParents(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
}

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP) return rmdir(path);
    return unlink(path);
}

int MakeWritable(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

void Collect(const std::string& path, const std::string& relative, std::vector<std::string>& lines) {
    FsEntry entry;
    std::u16string pattern;
    char16_t wide[8192];
    Utf8ToUtf16((path + "/*").c_str(), wide, 8192);
    FsFind find = FsFindFirst(wide, &entry);
    if (!find) return;
    do {
        char name[1024];
        Utf16ToUtf8(entry.name, name, sizeof name);
        std::string n = name;
        if (n == "." || n == "..") continue;
        std::string child = relative.empty() ? n : relative + "/" + n;
        std::string full = path + "/" + n;
        struct stat st;
        if (lstat(full.c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            ssize_t length = readlink(full.c_str(), target, sizeof target - 1);
            target[length < 0 ? 0 : length] = 0;
            lines.push_back(child + " link " + target);
        } else if (S_ISDIR(st.st_mode)) {
            lines.push_back(child + " dir");
            Collect(full, child, lines);
        } else {
            std::string line = child + " file " + std::to_string(st.st_size) + " mode " + std::to_string(st.st_mode & 0777);
            if (st.st_size <= 65536) {
                FILE* f = std::fopen(full.c_str(), "rb");
                if (f) {
                    std::string content(static_cast<size_t>(st.st_size), '\0');
                    size_t got = std::fread(&content[0], 1, content.size(), f);
                    std::fclose(f);
                    line += " content " + content.substr(0, got);
                }
            }
            lines.push_back(line);
        }
    } while (FsFindNext(find, &entry));
    FsFindClose(find);
}
}  // namespace

void TreeRemove() {
    if (g_nativeRoot.empty()) return;
    nftw(g_nativeRoot.c_str(), MakeWritable, 32, FTW_PHYS);
    nftw(g_nativeRoot.c_str(), RemoveOne, 32, FTW_DEPTH | FTW_PHYS);
    g_nativeRoot.clear();
    g_root.clear();
}

void TreeFresh() {
    TreeRemove();
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/norvale-test-XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    g_nativeRoot = buffer.data();
    char16_t wide[4096];
    Utf8ToUtf16(g_nativeRoot.c_str(), wide, 4096);
    g_root = wide;
}

const std::u16string& TreeRoot() { return g_root; }

void TreeDir(const std::u16string& relative) {
    std::string path = Native(TreePath(relative));
    MakeParents(path + "/");
}

void TreeFile(const std::u16string& relative, uint64_t size, uint32_t attributes) {
    std::string path = Native(TreePath(relative));
    MakeParents(path);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        throw std::runtime_error("cannot size " + path);
    }
    close(fd);
    if (attributes & FS_ATTR_READONLY) chmod(path.c_str(), 0444);
}

void TreeFileContent(const std::u16string& relative, const std::string& content) {
    std::string path = Native(TreePath(relative));
    MakeParents(path);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + path);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

bool TreeDirLinkTo(const std::u16string& relative, const std::u16string& target) {
    std::string path = Native(TreePath(relative));
    MakeParents(path);
    return symlink(Native(target).c_str(), path.c_str()) == 0;
}

bool TreeDirLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return TreeDirLinkTo(relative, TreePath(targetRelative));
}

bool TreeFileLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return TreeDirLink(relative, targetRelative);
}

// Linux has no mandatory share modes: an open file can always be unlinked.
bool TreeHoldOpen(const std::u16string&) { return false; }

void TreeReleaseHeld() {}

bool TreeSwapForLink(const std::u16string& relative, const std::u16string& targetRelative) {
    std::string path = Native(TreePath(relative));
    return rename(path.c_str(), (path + ".moved").c_str()) == 0 &&
           symlink(Native(TreePath(targetRelative)).c_str(), path.c_str()) == 0;
}

bool TreeHardLink(const std::u16string& relative, const std::u16string& targetRelative) {
    return link(Native(TreePath(targetRelative)).c_str(), Native(TreePath(relative)).c_str()) == 0;
}

bool TreeReadOnly(const std::u16string& relative) {
    struct stat st;
    return lstat(Native(TreePath(relative)).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

bool TreeExists(const std::u16string& relative) {
    struct stat st;
    return lstat(Native(TreePath(relative)).c_str(), &st) == 0;
}

std::string TreeManifest(const std::u16string& relative) {
    std::vector<std::string> lines;
    Collect(Native(TreePath(relative)), "", lines);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

bool TreeDirLinksRemovable() { return true; }

std::string TreeNativePath(const std::u16string& relative) { return Native(TreePath(relative)); }

const char* TreeBackendName() { return "posix"; }

bool TreeSwapOnEvent(const std::u16string&, bool, const std::u16string&, const std::u16string&) { return false; }
void TreeSwapFinished() {}
