#include "engine/catalogue.h"

namespace {

#define NOPAT {nullptr}

CleanupItem g_BrowserItems[] = {
    {u"IE/Edge 缓存", u"%LOCALAPPDATA%\\Microsoft\\Windows\\INetCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Chrome 缓存", u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Default\\Cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Chrome Code Cache", u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Default\\Code Cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Edge 缓存", u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\Default\\Cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Edge Code Cache", u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\Default\\Code Cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Edge GPUCache", u"%LOCALAPPDATA%\\Microsoft\\Edge\\User Data\\Default\\GPUCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Chrome GPUCache", u"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Default\\GPUCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Firefox 缓存", u"%LOCALAPPDATA%\\Mozilla\\Firefox\\Profiles",
     {u"*\\cache2", u"*\\startupCache", u"*\\thumbnails"}, CM_MATCH_SUBDIRS, 0, 0, nullptr, {0}, {0}},
};

CleanupItem g_SoftwareItems[] = {
    {u"微信缓存", u"%USERPROFILE%\\Documents\\WeChat Files",
     {u"*\\FileStorage\\Cache", u"*\\FileStorage\\Video", u"*\\FileStorage\\Image"}, CM_MATCH_SUBDIRS, 0, 1,
     u"微信聊天图片和视频", {0}, {0}},
    {u"QQ 缓存", u"%USERPROFILE%\\Documents\\Tencent Files",
     {u"*\\FileRecv", u"*\\Image", u"*\\Video"}, CM_MATCH_SUBDIRS, 0, 1, u"QQ 收到的文件和聊天图片、视频", {0}, {0}},
    {u"钉钉缓存", u"%LOCALAPPDATA%\\DingTalk", {u"cache", u"global\\cache"}, CM_MATCH_SUBDIRS, 0, 0, nullptr, {0}, {0}},
    {u"企业微信缓存", u"%LOCALAPPDATA%\\WXWork", {u"cache", u"Global\\Cache"}, CM_MATCH_SUBDIRS, 0, 0, nullptr, {0}, {0}},
    {u"百度网盘缓存", u"%LOCALAPPDATA%\\Baidu\\BaiduNetdisk", {u"cache", u"download"}, CM_MATCH_SUBDIRS, 0, 1, u"百度网盘未完成的下载", {0}, {0}},
    {u"迅雷缓存", u"%LOCALAPPDATA%\\Thunder Network\\Thunder", {u"Program\\cache", u"Profiles"}, CM_MATCH_SUBDIRS, 0, 1, u"迅雷的设置和下载任务列表", {0}, {0}},
    {u"Steam 网页缓存", u"%LOCALAPPDATA%\\Steam\\htmlcache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"NPM 缓存", u"%LOCALAPPDATA%\\npm-cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"Pip 缓存", u"%LOCALAPPDATA%\\pip\\cache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
};

CleanupItem g_SystemTempItems[] = {
    {u"临时文件", u"%WINDIR%\\Temp", {u"*.tmp", u"*.log"}, CM_MATCH_FILES, 1, 0, nullptr, {0}, {0}},
    {u"临时文件", u"%WINDIR%\\Temp", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"Prefetch", u"%WINDIR%\\Prefetch", {u"*.pf"}, CM_MATCH_FILES, 1, 0, nullptr, {0}, {0}},
    {u"CrashDumps", u"%LOCALAPPDATA%\\CrashDumps", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
};

CleanupItem g_UserTempItems[] = {
    {u"用户 TEMP", u"%TEMP%", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"LocalAppData Temp", u"%LOCALAPPDATA%\\Temp", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
};

CleanupItem g_DeepItems[] = {
    {u"清空回收站", u"$RECYCLE.BIN", NOPAT, CM_RECYCLE_BIN, 0, 0, nullptr, {0}, {0}},
    {u"Windows 更新清理", u"%WINDIR%\\SoftwareDistribution\\Download", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"已下载程序文件", u"%WINDIR%\\Downloaded Program Files", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"传递优化缓存", u"%WINDIR%\\SoftwareDistribution\\DeliveryOptimization", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"传递优化文件", u"%WINDIR%\\DeliveryOptimization", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"设备驱动程序包", u"%WINDIR%\\System32\\DriverStore\\FileRepository", NOPAT, CM_DRIVER_PACKAGES, 1, 0, nullptr,
     {0}, {0}},
    {u"驱动程序临时文件", u"%WINDIR%\\System32\\DriverStore\\Temp", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"Windows 日志", u"%WINDIR%\\Logs", {u"*.log", u"*.etl"}, CM_MATCH_FILES, 1, 0, nullptr, {0}, {0}},
    {u"CBS 组件日志", u"%WINDIR%\\Logs\\CBS", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"Windows 错误报告", u"%PROGRAMDATA%\\Microsoft\\Windows\\WER", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"小内存转储", u"%WINDIR%\\Minidump", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"缩略图", u"%LOCALAPPDATA%\\Microsoft\\Windows\\Explorer", {u"thumbcache_*.db", u"iconcache_*.db"}, CM_MATCH_FILES, 0, 0, nullptr, {0}, {0}},
    {u"DirectX 着色器缓存", u"%LOCALAPPDATA%\\D3DSCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"NVIDIA 着色器缓存", u"%LOCALAPPDATA%\\NVIDIA", {u"DXCache", u"GLCache"}, CM_MATCH_SUBDIRS, 0, 0, nullptr, {0}, {0}},
    {u"Windows 通知缓存", u"%LOCALAPPDATA%\\Microsoft\\Windows\\Notifications", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"WebCache", u"%LOCALAPPDATA%\\Microsoft\\Windows\\WebCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"字体缓存", u"%LOCALAPPDATA%\\Microsoft\\Windows\\FontCache", NOPAT, CM_CONTENTS, 0, 0, nullptr, {0}, {0}},
    {u"最近使用记录", u"%APPDATA%\\Microsoft\\Windows\\Recent", {u"*.lnk"}, CM_MATCH_FILES, 0, 0, nullptr, {0}, {0}},
    {u"Windows 安装临时文件", u"%WINDIR%\\Installer\\$PatchCache$", NOPAT, CM_CONTENTS, 1, 0, nullptr, {0}, {0}},
    {u"以前的 Windows 安装 (Windows.old)", u"%SYSTEMDRIVE%\\Windows.old", NOPAT, CM_WHOLE_DIR, 1, 1,
     u"以前的 Windows 安装：删除后无法回退到以前的 Windows，其中 Users 文件夹里的个人文件也会删除", {0}, {0}},
    {u"下载文件夹(慎用)", u"%USERPROFILE%\\Downloads", NOPAT, CM_CONTENTS, 0, 1, u"你的下载文件夹中的文件", {0}, {0}},
};

#undef NOPAT

template <typename T, int N>
constexpr int32_t CountOf(T (&)[N]) { return N; }

}  // namespace

CleanupGroup g_CleanupGroups[kGroupCount] = {
    {u"浏览器缓存", g_BrowserItems, CountOf(g_BrowserItems), {0}},
    {u"常用软件缓存", g_SoftwareItems, CountOf(g_SoftwareItems), {0}},
    {u"系统临时文件", g_SystemTempItems, CountOf(g_SystemTempItems), {0}},
    {u"用户临时文件", g_UserTempItems, CountOf(g_UserTempItems), {0}},
    {u"系统深度清理", g_DeepItems, CountOf(g_DeepItems), {0}},
};

namespace {

// A group is ticked when all its ordinary items are: the caution items are
// ticked one by one and never by a tick that covers many.
void UpdateGroupTick(CleanupGroup& group) {
    int32_t all = 1;
    for (int32_t i = 0; i < group.itemCount; ++i) {
        if (!group.items[i].caution && !group.items[i].selected.load(std::memory_order_relaxed)) all = 0;
    }
    group.selected.store(all, std::memory_order_relaxed);
}

void SetGroupItems(CleanupGroup& group, int32_t value) {
    for (int32_t i = 0; i < group.itemCount; ++i) {
        CleanupItem& item = group.items[i];
        if (!value || !item.caution) item.selected.store(value, std::memory_order_relaxed);
    }
    group.selected.store(value, std::memory_order_relaxed);
}

}  // namespace

void SelectAllItems() {
    for (CleanupGroup& group : g_CleanupGroups) SetGroupItems(group, 1);
}

void DeselectAllItems() {
    for (CleanupGroup& group : g_CleanupGroups) SetGroupItems(group, 0);
}

void ToggleItemSelection(int group, int item) {
    if (group < 0 || group >= kGroupCount) return;
    CleanupGroup& g = g_CleanupGroups[group];
    if (item < 0 || item >= g.itemCount) return;
    CleanupItem& it = g.items[item];
    it.selected.store(it.selected.load(std::memory_order_relaxed) ? 0 : 1, std::memory_order_relaxed);
    UpdateGroupTick(g);
}

void ToggleGroupSelection(int group) {
    if (group < 0 || group >= kGroupCount) return;
    CleanupGroup& g = g_CleanupGroups[group];
    SetGroupItems(g, g.selected.load(std::memory_order_relaxed) ? 0 : 1);
}
