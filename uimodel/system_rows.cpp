#include "uimodel/system_rows.h"

#include "text/format.h"
#include "text/text16.h"

#include <algorithm>

namespace {

struct ActionEntry {
    SystemItem item;
    const char16_t* label;
    SystemCommand command;  // program null: no program
    bool needsAdmin;
    bool asks;
    SystemAction remeasure;
};

// One row per SystemAction, in its order. DISM's /ResetBase is never here:
// it would make every installed update impossible to uninstall.
const ActionEntry kActions[SA_COUNT] = {
    {SYS_ITEM_COUNT, u"", {nullptr, nullptr}, false, false, SA_NONE},
    {SYS_HIBERNATION, u"精简", {u"powercfg.exe", u"/hibernate /type reduced"}, true, true, SA_NONE},
    {SYS_HIBERNATION, u"关闭休眠", {u"powercfg.exe", u"/hibernate off"}, true, true, SA_NONE},
    {SYS_COMPONENTS, u"分析", {u"Dism.exe", u"/Online /Cleanup-Image /AnalyzeComponentStore /English"}, true, false,
     SA_NONE},
    {SYS_COMPONENTS, u"清理", {u"Dism.exe", u"/Online /Cleanup-Image /StartComponentCleanup"}, true, true,
     SA_COMPONENTS_ANALYZE},
    {SYS_RESTORE, u"读取", {nullptr, nullptr}, true, false, SA_NONE},
    {SYS_RESTORE, u"删除旧的还原点", {nullptr, nullptr}, true, true, SA_NONE},
    {SYS_RESERVED, u"读取", {u"Dism.exe", u"/Online /Get-ReservedStorageState /English"}, true, false, SA_NONE},
    {SYS_RESERVED, u"关闭", {u"Dism.exe", u"/Online /Set-ReservedStorageState /State:Disabled"}, true, true,
     SA_RESERVED_READ},
    {SYS_PAGEFILE, u"说明", {nullptr, nullptr}, false, false, SA_NONE},
};

const SystemAction kRowActions[SYS_ITEM_COUNT][kSystemActionSlots] = {
    {SA_HIBER_REDUCE, SA_HIBER_OFF},
    {SA_COMPONENTS_ANALYZE, SA_COMPONENTS_CLEAN},
    {SA_RESTORE_READ, SA_RESTORE_DELETE},
    {SA_RESERVED_READ, SA_RESERVED_OFF},
    {SA_NONE, SA_PAGEFILE_EXPLAIN},
};

const char16_t* const kRowNames[SYS_ITEM_COUNT] = {u"休眠文件 (hiberfil.sys)", u"组件存储 (WinSxS)", u"系统还原点",
                                                   u"保留的存储", u"虚拟内存 (pagefile.sys)"};

const char16_t kUnreadable[] = u"无法读取";
const char16_t kNeedsAdmin[] = u"需要管理员模式";

bool Valid(SystemAction action) { return action > SA_NONE && action < SA_COUNT; }

void Copy(char16_t* out, size_t capacity, const char16_t* text) { Text16CopyTruncated(out, capacity, text); }

// A size fact as the size column shows it.
void SizeCell(FactState state, uint64_t bytes, char16_t* out, size_t capacity) {
    switch (state) {
    case FACT_READ: {
        char16_t size[kSizeTextUnits];
        FormatSize(bytes, size);
        Copy(out, capacity, size);
        return;
    }
    case FACT_ABSENT:
        Copy(out, capacity, u"0 B");
        return;
    case FACT_UNREADABLE:
        Copy(out, capacity, kUnreadable);
        return;
    case FACT_NOT_READ:
        Copy(out, capacity, u"–");
        return;
    }
}

const char16_t* HibernationText(HibernationState state) {
    switch (state) {
    case HIBER_FULL:
        return u"完整";
    case HIBER_REDUCED:
        return u"精简";
    case HIBER_OFF:
        return u"已关闭";
    case HIBER_ON:
        return u"已开启";
    case HIBER_UNKNOWN:
        break;
    }
    return kUnreadable;
}

void ExitCodeText(uint32_t code, char16_t* out, int capacity) {
    if (code < 0x10000) {  // a Win32 error or a plain exit code
        FormatText(out, capacity, u"%d", static_cast<int32_t>(code));
        return;
    }
    // An HRESULT, as DISM's own "Error: 0x800f0806" line spells it.
    char16_t hex[11] = u"0x";
    for (int i = 0; i < 8; ++i) hex[2 + i] = u"0123456789abcdef"[(code >> (28 - 4 * i)) & 0xF];
    hex[10] = 0;
    Text16CopyTruncated(out, static_cast<size_t>(capacity), hex);
}

const char16_t* ActionWhat(SystemAction action) {
    switch (action) {
    case SA_HIBER_REDUCE:
        return u"精简休眠文件";
    case SA_HIBER_OFF:
        return u"关闭休眠";
    case SA_COMPONENTS_ANALYZE:
        return u"分析组件存储";
    case SA_COMPONENTS_CLEAN:
        return u"清理组件存储";
    case SA_RESTORE_READ:
        return u"读取还原点";
    case SA_RESTORE_DELETE:
        return u"删除旧的还原点";
    case SA_RESERVED_READ:
        return u"读取保留的存储";
    case SA_RESERVED_OFF:
        return u"关闭保留的存储";
    default:
        return u"";
    }
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

const char16_t kSystemQuestionTitle[] = u"确认";
const char16_t kPageFileExplanation[] =
    u"pagefile.sys 是虚拟内存，由系统管理，不能在这里删除：可在“系统属性 → 高级 → 性能 设置 → 高级 → 虚拟内存 更改”中调小或移到其他磁盘。";

SystemAction SystemRowAction(SystemItem item, int slot) {
    if (item < 0 || item >= SYS_ITEM_COUNT || slot < 0 || slot >= kSystemActionSlots) return SA_NONE;
    return kRowActions[item][slot];
}

SystemItem SystemActionItem(SystemAction action) { return Valid(action) ? kActions[action].item : SYS_ITEM_COUNT; }

const SystemCommand* SystemActionCommand(SystemAction action) {
    return Valid(action) && kActions[action].command.program ? &kActions[action].command : nullptr;
}

SystemAction SystemActionRemeasure(SystemAction action) { return Valid(action) ? kActions[action].remeasure : SA_NONE; }

bool SystemActionNeedsAdmin(SystemAction action) { return Valid(action) && kActions[action].needsAdmin; }

bool SystemActionAsks(SystemAction action) { return Valid(action) && kActions[action].asks; }

HibernationState HibernationStateOf(bool fileExists, int32_t enabled, int32_t fileType) {
    if (enabled == 0 || (!fileExists && enabled != 1)) return HIBER_OFF;
    if (fileType == 1) return HIBER_REDUCED;
    if (fileType == 2) return HIBER_FULL;
    return fileExists || enabled == 1 ? HIBER_ON : HIBER_UNKNOWN;
}

void DescribeSystemRow(SystemItem item, const SystemFacts& facts, bool admin, bool busy, SystemRowText* out) {
    *out = SystemRowText{};
    if (item < 0 || item >= SYS_ITEM_COUNT) return;
    Copy(out->name, 40, kRowNames[item]);
    char16_t size[kSizeTextUnits];
    switch (item) {
    case SYS_HIBERNATION:
        SizeCell(facts.hiberFile, facts.hiberBytes, out->size, 40);
        Copy(out->state, 64, facts.hiberFile == FACT_NOT_READ ? u"–" : HibernationText(facts.hiber));
        break;
    case SYS_COMPONENTS:
        if (facts.components == FACT_READ) {
            SizeCell(FACT_READ, facts.report.actualSize, out->size, 40);
            FormatSize(facts.report.backups + facts.report.cache, size);
            FormatText(out->state, 64, u"分析后可回收 %s", size);
        } else {
            SizeCell(facts.components, 0, out->size, 40);
            Copy(out->state, 64, facts.components == FACT_UNREADABLE ? kUnreadable : u"未分析");
        }
        break;
    case SYS_RESTORE:
        SizeCell(facts.restore, facts.shadowUsed, out->size, 40);
        if (facts.restore == FACT_READ)
            FormatText(out->state, 64, u"%d 个还原点", facts.restorePoints);
        else
            Copy(out->state, 64, facts.restore == FACT_UNREADABLE ? kUnreadable : u"未读取");
        break;
    case SYS_RESERVED:
        // DISM says whether it is on, not how much it holds: no size is made up.
        Copy(out->size, 40, u"–");
        if (facts.reserved == FACT_READ && facts.reservedState != RESERVED_UNREADABLE)
            Copy(out->state, 64, facts.reservedState == RESERVED_ENABLED ? u"已启用" : u"已关闭");
        else
            Copy(out->state, 64, facts.reserved == FACT_NOT_READ ? u"未读取" : kUnreadable);
        break;
    case SYS_PAGEFILE:
        SizeCell(facts.pageFile, facts.pageBytes, out->size, 40);
        Copy(out->state, 64, u"–");
        break;
    default:
        break;
    }
    for (int slot = 0; slot < kSystemActionSlots; ++slot) {
        const SystemAction action = kRowActions[item][slot];
        if (action == SA_NONE) continue;
        const bool locked = SystemActionNeedsAdmin(action) && !admin;
        Copy(out->action[slot], 16, locked ? kNeedsAdmin : kActions[action].label);
        bool enabled = !locked && !(busy && action != SA_PAGEFILE_EXPLAIN);
        // Nothing to act on: hibernation already off, or already reduced;
        // one restore point or none; reserved storage known to be off.
        if (action == SA_HIBER_OFF && facts.hiber == HIBER_OFF) enabled = false;
        if (action == SA_HIBER_REDUCE && (facts.hiber == HIBER_OFF || facts.hiber == HIBER_REDUCED)) enabled = false;
        if (action == SA_RESTORE_DELETE && !(facts.restore == FACT_READ && facts.restorePoints > 1)) enabled = false;
        if (action == SA_RESERVED_OFF && facts.reserved == FACT_READ && facts.reservedState == RESERVED_DISABLED)
            enabled = false;
        out->enabled[slot] = enabled;
    }
}

bool SystemQuestionText(SystemAction action, const SystemFacts& facts, char16_t* out, int capacity) {
    switch (action) {
    case SA_HIBER_REDUCE:
        return FormatText(out, capacity, u"确定要精简休眠文件吗？\n\n精简后将无法休眠，保留快速启动") >= 0;
    case SA_HIBER_OFF:
        return FormatText(out, capacity, u"确定要关闭休眠吗？\n\n关闭后将无法休眠，快速启动也会关闭") >= 0;
    case SA_RESTORE_DELETE:
        return FormatText(out, capacity, u"确定要删除 %d 个旧的还原点吗？最新的一个会保留。\n\n删除后无法把系统还原到这些时间点",
                          facts.restorePoints > 1 ? facts.restorePoints - 1 : 0) >= 0;
    case SA_RESERVED_OFF:
        return FormatText(out, capacity, u"确定要关闭保留的存储吗？\n\n关闭后，系统更新可能因空间不足而失败") >= 0;
    case SA_COMPONENTS_CLEAN:
        return FormatText(out, capacity,
                          u"确定要清理组件存储吗？\n\n清理可能需要几分钟到半小时，期间请不要关闭计算机。\n"
                          u"把窗口关闭到通知区域不会中断清理。") >= 0;
    default:
        if (capacity > 0) out[0] = 0;
        return false;
    }
}

bool ComponentStoreSummary(const ComponentStoreReport& report, char16_t* out, int capacity) {
    if (!report.ok) return FormatText(out, capacity, u"组件存储：%s", kUnreadable) >= 0;
    char16_t actual[kSizeTextUnits], shared[kSizeTextUnits], backups[kSizeTextUnits], cache[kSizeTextUnits];
    FormatSize(report.actualSize, actual);
    FormatSize(report.shared, shared);
    FormatSize(report.backups, backups);
    FormatSize(report.cache, cache);
    return FormatText(out, capacity,
                      u"组件存储：实际大小 %s，与 Windows 共享 %s，备份和已禁用的功能 %s，缓存和临时数据 %s，可回收的包 %d 个，%s",
                      actual, shared, backups, cache, report.reclaimablePackages,
                      report.recommended ? u"建议清理" : u"无需清理") >= 0;
}

void FreedText(uint64_t freeBefore, uint64_t freeAfter, char16_t* out, int capacity) {
    char16_t size[kSizeTextUnits];
    FormatSize(freeAfter > freeBefore ? freeAfter - freeBefore : 0, size);
    FormatText(out, capacity, u"已释放 %s", size);
}

bool ToolFailureText(SystemAction action, uint32_t exitCode, const char16_t* message, char16_t* out, int capacity) {
    char16_t code[16];
    ExitCodeText(exitCode, code, 16);
    const char16_t* refused =
        action == SA_RESERVED_OFF ? u"（有更新待完成时，系统会拒绝关闭保留的存储）" : u"";
    if (message && message[0])
        return FormatText(out, capacity, u"%s失败（退出代码 %s）%s：%s", ActionWhat(action), code, refused, message) >= 0;
    return FormatText(out, capacity, u"%s失败（退出代码 %s）%s", ActionWhat(action), code, refused) >= 0;
}

bool UnreadableOutputText(SystemAction action, char16_t* out, int capacity) {
    return FormatText(out, capacity, u"%s：%s", ActionWhat(action), kUnreadable) >= 0;
}

std::vector<uint32_t> OldRestorePoints(const std::vector<uint32_t>& sequences) {
    std::vector<uint32_t> old;
    if (sequences.empty()) return old;
    const uint32_t newest = *std::max_element(sequences.begin(), sequences.end());
    for (uint32_t sequence : sequences)
        if (sequence != newest) old.push_back(sequence);
    return old;
}

bool ShadowStorageOnVolume(const char16_t* reference, const char16_t* volume) {
    if (!reference || !volume || !volume[0]) return false;
    // The key's value sits between the first '"' and the last one, each
    // backslash written twice.
    const char16_t* open = reference;
    while (*open && *open != u'"') ++open;
    if (!*open) return false;
    const char16_t* p = open + 1;
    const char16_t* v = volume;
    while (*p && *p != u'"') {
        char16_t c = *p;
        if (c == u'\\') {
            if (p[1] != u'\\') return false;
            ++p;
        }
        if (!*v || Lower(c) != Lower(*v)) return false;
        ++p;
        ++v;
    }
    return *p == u'"' && p[1] == 0 && *v == 0;
}

bool ToolStartFailureText(const char16_t* program, uint32_t error, char16_t* out, int capacity) {
    char16_t code[16];
    ExitCodeText(error, code, 16);
    return FormatText(out, capacity, u"无法启动 %s（错误 %s）", program, code) >= 0;
}

bool WmiFailureText(SystemAction action, int32_t hresult, char16_t* out, int capacity) {
    char16_t code[16];
    ExitCodeText(static_cast<uint32_t>(hresult), code, 16);
    return FormatText(out, capacity, u"%s失败（WMI %s）", ActionWhat(action), code) >= 0;
}

bool ActionDoneText(SystemAction action, bool freeKnown, uint64_t freeBefore, uint64_t freeAfter, char16_t* out,
                    int capacity) {
    if (!freeKnown) return FormatText(out, capacity, u"%s：完成", ActionWhat(action)) >= 0;
    char16_t freed[64];
    FreedText(freeBefore, freeAfter, freed, 64);
    return FormatText(out, capacity, u"%s：完成，%s", ActionWhat(action), freed) >= 0;
}

bool RestoreRemovalText(int32_t removed, int32_t refused, uint32_t firstError, bool freeKnown, uint64_t freeBefore,
                        uint64_t freeAfter, char16_t* out, int capacity) {
    char16_t freed[64] = u"";
    if (freeKnown) {
        char16_t text[48];
        FreedText(freeBefore, freeAfter, text, 48);
        FormatText(freed, 64, u"，%s", text);
    }
    if (refused == 0) return FormatText(out, capacity, u"删除旧的还原点：删除了 %d 个%s", removed, freed) >= 0;
    char16_t code[16];
    ExitCodeText(firstError, code, 16);
    return FormatText(out, capacity, u"删除旧的还原点：删除了 %d 个，%d 个未能删除（错误 %s）%s", removed, refused, code,
                      freed) >= 0;
}

bool ActionRunningText(SystemAction action, int32_t progress, char16_t* out, int capacity) {
    if (progress < 0) return FormatText(out, capacity, u"正在%s...", ActionWhat(action)) >= 0;
    return FormatText(out, capacity, u"正在%s... %d.%d%%", ActionWhat(action), progress / 10, progress % 10) >= 0;
}
