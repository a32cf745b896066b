// 删除 on the space view's selected row: refused for what cannot be deleted
// as one item, asked (Return answers 否), then done only to what the scan
// listed (largefiles/space_files.h), and taken out of the tree shown
// without a new analysis.
#include "ui/space/space_private.h"

#include "largefiles/space_files.h"
#include "largefiles/space_tree.h"
#include "platform/post.h"
#include "text/format.h"
#include "text/text16.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/shell/workers.h"
#include "uimodel/space_rows.h"

#include <string>

namespace {

// One folder's deletion: made on the main thread, walked on the worker
// (which reads only path and id), and handed back with the outcome.
struct FolderDeletion {
    HWND window;
    std::u16string path, name;
    uint64_t id, size, space;
    uint32_t folder, files;
    int32_t index;  // the row it was, to select the one in its place
    SpaceDeletion outcome;
};

uint32_t SpaceDeleteWorker(void* parameter) {
    FolderDeletion* job = static_cast<FolderDeletion*>(parameter);
    job->outcome = DeleteSpaceFolderAt(job->path.c_str(), job->id);
    if (!PostWindowMessage(job->window, MSG_SPACE_DELETE_FINISHED, 0, reinterpret_cast<intptr_t>(job))) delete job;
    return 0;
}

WorkerKind g_spaceDelete = {SpaceDeleteWorker, {0}};

// The list and the treemap take no clicks while a folder goes: nothing can
// be entered that the deletion takes out of the tree.
void SetWaiting(bool waiting) {
    StoreSpaceDeleting(waiting);
    for (int id : {IDC_LIST_SPACE, IDC_TREEMAP})
        if (HWND control = SpaceControl(id)) EnableWindow(control, waiting ? FALSE : TRUE);
    ApplySpaceEnabled();
}

const char16_t kChanged[] = u"该项目已变化，请重新分析";

void Say(const char16_t* text) { MessageBoxW(g_hMainWnd, WideText(text), L"提示", MB_OK | MB_ICONWARNING); }

// The page's status line and the line beside 开始分析.
void Report(const char16_t* text) {
    if (HWND label = SpaceControl(IDC_STATIC_SPACE_STAT)) SetWindowTextW(label, WideText(text));
    SetPageStatus(PAGE_SPACE, text);
}

// Why nothing was done, for every outcome but done and partly done.
void SayNotDone(const SpaceDeletion& outcome, const std::u16string& path, bool file) {
    char16_t text[640];
    switch (outcome.state) {
    case SPACE_ITEM_CHANGED:
        Say(kChanged);
        return;
    case SPACE_ITEM_PROTECTED:
        if (outcome.refusal == REFUSED_DRIVE_ROOT) {
            FormatText(text, 640, u"%s 是驱动器的根目录，不能删除。", path.c_str());
        } else if (outcome.refusal == REFUSED_PROTECTED) {
            FormatText(text, 640,
                       u"%s\n\n是受保护的系统文件夹，或包含受保护的文件夹（如 Windows、Program Files、用户文件夹），不能删除。",
                       path.c_str());
        } else {
            FormatText(text, 640, u"无法确认 %s 可以安全删除，未删除。", path.c_str());
        }
        Say(text);
        return;
    case SPACE_ITEM_HARD_LINKED:
        Say(u"该文件还有其他硬链接，为保护它们未删除");
        return;
    default:
        if (file) {
            Say(u"删除失败，文件可能正在使用中");
        } else {
            FormatText(text, 640, u"无法打开 %s（错误 %d），未删除。", path.c_str(), static_cast<int32_t>(outcome.error));
            Say(text);
        }
        return;
    }
}

// A permanent delete: Return answers 否.
bool Confirm(bool folder, const std::u16string& path, uint64_t size, uint32_t files) {
    char16_t sizeText[kSizeTextUnits], question[800];
    FormatSize(size, sizeText);
    FormatText(question, 800,
               folder ? u"确定删除以下文件夹？\n\n%s\n\n大小：%s\n文件数：%d\n\n文件夹及其中的全部文件将被永久删除，不会进入回收站。"
                      : u"确定删除以下文件？\n\n%s\n\n大小：%s\n文件数：%d\n\n文件将被永久删除，不会进入回收站。",
               path.c_str(), sizeText, static_cast<int32_t>(files));
    return MessageBoxW(g_hMainWnd, WideText(question), L"确认删除", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void ReportFreed(const char16_t* name, uint64_t bytes) {
    char16_t size[kSizeTextUnits], text[400];
    FormatSize(bytes, size);
    FormatText(text, 400, u"已删除 %s，释放 %s", name, size);
    Report(text);
}

std::u16string Join(const std::u16string& folder, const char16_t* name) {
    return folder + (!folder.empty() && folder.back() == u'\\' ? u"" : u"\\") + name;
}

void DeleteFolderRow(const SpaceTree& tree, uint32_t child, int32_t index) {
    const SpaceFolder& f = tree.Folder(child);
    const std::u16string path = SpaceFolderPath(tree, g_szSystemDrive, child);
    const std::u16string name = tree.Name(f.name);
    const uint64_t size = f.size, space = f.space;
    const uint32_t files = f.files;
    // Refused before the question: a folder the guard keeps is never offered.
    const SpaceDeletion check = CheckSpaceFolder(tree, g_szSystemDrive, child);
    if (check.state != SPACE_ITEM_OK) {
        SayNotDone(check, path, false);
        return;
    }
    if (!Confirm(true, path, size, files)) return;
    FolderDeletion* job = new FolderDeletion{g_hMainWnd, path, name, f.id, size, space, child, files, index,
                                             SpaceDeletion()};
    char16_t text[400];
    FormatText(text, 400, u"正在删除 %s...", name.c_str());
    Report(text);
    SetWaiting(true);
    if (!StartWorker(&g_spaceDelete, job, WorkerFailureSay{PAGE_SPACE, SpaceControl(IDC_STATIC_SPACE_STAT), true})) {
        delete job;
        SetWaiting(false);
    }
}

}  // namespace

bool FinishSpaceDeletion(LPARAM parameter, int32_t* select) {
    FolderDeletion* job = reinterpret_cast<FolderDeletion*>(parameter);
    SetWaiting(false);
    // No analysis could start meanwhile: the tree is the one the job was made from.
    SpaceTree* changed = SpaceTreeToChange();
    const SpaceDeletion& done = job->outcome;
    const char16_t* name = job->name.c_str();
    if (!changed) {
        delete job;
        return false;
    }
    // Only what the walk deleted leaves the 文件类型 sums, all or part of the folder.
    changed->RemoveExtensionSums(done.deleted);
    if (done.state == SPACE_ITEM_OK) {
        changed->RemoveFolder(job->folder);
        SpaceTreeChanged(job->space);
        ReportFreed(name, job->size);
    } else if (done.state == SPACE_ITEM_PARTLY) {
        // What remains, as scanned (or else as counted) on the disk, stands
        // in for the folder's contents.
        uint64_t left = done.space;
        if (done.remains) {
            changed->ReplaceContents(job->folder, *done.remains);
            left = done.remains->Folder(0).space;
        } else {
            changed->ShrinkFolder(job->folder, done.size, done.space, done.files, done.large, done.folders);
        }
        SpaceTreeChanged(job->space > left ? job->space - left : 0);
        // Why, from the walker's counts of the failures.
        const bool inUse = done.tally.inUse > 0, denied = done.tally.accessDenied > 0;
        const char16_t* why = inUse && !denied ? u"正在使用" : denied && !inUse ? u"无权限" : u"正在使用或无权限";
        char16_t text[400];
        FormatText(text, 400, u"已删除 %s 中的 %d 个文件，%d 个无法删除（%s）", name,
                   static_cast<int32_t>(job->files > done.files ? job->files - done.files : 0),
                   static_cast<int32_t>(done.files), why);
        Report(text);
        Say(text);
    } else {
        Report(u"未删除。");
        SayNotDone(done, job->path, false);
        delete job;
        return false;
    }
    RefreshSpaceTypes();
    // Nothing could be entered meanwhile: the folder shown is still its parent.
    *select = job->index;
    RefreshFreeSpace(nullptr);
    delete job;
    return true;
}

bool AskAndDeleteSpaceFile(uint32_t folder, const char16_t* name, uint64_t id, uint64_t size, uint64_t space) {
    SpaceTree* tree = SpaceTreeToChange();
    if (!tree) return false;
    const std::u16string path = Join(SpaceFolderPath(*tree, g_szSystemDrive, folder), name);
    if (!Confirm(false, path, size, 1)) return false;
    const SpaceDeletion done = DeleteSpaceFile(*tree, g_szSystemDrive, folder, name, id, size);
    if (done.state != SPACE_ITEM_OK) {
        SayNotDone(done, path, true);
        return false;
    }
    const std::u16string shown = name;  // name may live in the tree's kept file
    RemoveDeletedFile(tree, folder, shown.c_str(), id, size, space);
    SpaceTreeChanged(space);
    RefreshSpaceTypes();
    ReportFreed(shown.c_str(), size);
    RefreshFreeSpace(nullptr);
    return true;
}

bool DeleteSpaceRow(const SpaceRow& row, int32_t index) {
    uint32_t folder = 0;
    const SpaceTree* tree = SpaceTreeShown(&folder);
    if (!tree) return false;
    switch (row.kind) {
    case SPACE_ROW_REST:
        Say(u"这一行是多个文件的合计，不能整体删除。双击它（或点“打开”）列出其中的文件后，可逐个删除。");
        return false;
    case SPACE_ROW_UNCOUNTED:
        Say(u"（未统计）是分析无法看到的空间，不是可以删除的项目。");
        return false;
    default:
        break;
    }
    if (row.flags & SPACE_LINK) {
        Say(u"这是一个链接（联接点或符号链接），本身不占空间，不能在这里删除。");
        return false;
    }
    if (row.flags & SPACE_DENIED) {
        Say(u"该文件夹无法读取，不知道其中有什么，不能在这里删除。");
        return false;
    }
    if (row.kind == SPACE_ROW_FOLDER) {
        DeleteFolderRow(*tree, row.folder, index);
        return false;
    }
    const SpaceFile file = tree->Folder(folder).kept[row.file];
    const std::u16string name = tree->Name(file.name);
    return AskAndDeleteSpaceFile(folder, name.c_str(), file.id, file.size, file.space);
}
