// Writes a deterministic test tree for the scan benchmark: `files` files in
// files/10 folders, depth up to 12, folder names of 2 to 16 and file names
// of 3 to 55 characters (so nearly every path fits in 260 units), eight
// sparse files of 60 MB to 2 GB and the rest sparse files of up to 256 KB. Sparse: the sizes are in the metadata, the disk stays nearly empty.
//
//   norvale_make_tree ROOT [FILES]
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

uint64_t g_state = 0x9E3779B97F4A7C15ull;

uint64_t Next() {  // xorshift64*: the same tree on every machine
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return g_state * 2685821657736338717ull;
}

std::string Name(size_t length) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789_-. ";
    std::string name;
    for (size_t i = 0; i < length; ++i) name += kChars[Next() % (sizeof kChars - 1)];
    if (name.back() == ' ' || name.back() == '.') name.back() = 'x';
    if (name == "." || name == "..") name = "dot";
    return name;
}

bool MakeFile(const std::string& path, uint64_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [FILES]\n", argv[0]);
        return 2;
    }
    std::string root = argv[1];
    long files = argc > 2 ? std::atol(argv[2]) : 400000;
    long folders = files / 10;
    if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror("mkdir");
        return 1;
    }
    // Folders: each new one goes below a random earlier one whose depth
    // is below 12, so the tree is both wide and deep.
    std::vector<std::string> dirs = {root};
    std::vector<int> depth = {0};
    for (long i = 1; i < folders; ++i) {
        size_t parent;
        do {
            parent = Next() % dirs.size();
        } while (depth[parent] >= 12);
        std::string path = dirs[parent] + "/" + Name(1 + Next() % 10) + std::to_string(i);
        if (mkdir(path.c_str(), 0755) != 0) {
            std::perror(path.c_str());
            return 1;
        }
        dirs.push_back(path);
        depth.push_back(depth[parent] + 1);
    }
    const uint64_t mb = 1000000;
    const uint64_t big[] = {60 * mb, 75 * mb, 120 * mb, 150 * mb, 480 * mb, 600 * mb, 1200 * mb, 2000 * mb};
    long bigEvery = files / static_cast<long>(sizeof big / sizeof big[0]);
    for (long i = 0; i < files; ++i) {
        const std::string& dir = dirs[Next() % dirs.size()];
        std::string path = dir + "/" + Name(1 + Next() % 48) + "." + std::to_string(i);
        uint64_t size = (bigEvery > 0 && i % bigEvery == bigEvery / 2) ? big[(i / bigEvery) % 8] : Next() % 262144;
        if (!MakeFile(path, size)) {
            std::perror(path.c_str());
            return 1;
        }
    }
    std::printf("%ld files in %ld folders below %s\n", files, folders, root.c_str());
    return 0;
}
