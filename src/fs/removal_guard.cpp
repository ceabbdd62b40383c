#include "fs/removal_guard.h"

#include "fs/disk_identity.h"
#include "fs/folder_values.h"
#include "fs/recorded_folders.h"
#include "support/mb_text.h"
#include "platform/win32api.h"
#include "support/string.h"
#include "support/string_map.h"

namespace {

const char kCutRule[] = "rule: a path that may have been cut to fit is never deleted";
// Both program-files views: a 32-bit program's view names the 64-bit folders "W6432", a 64-bit
// program's names the 32-bit ones "(x86)"; either build protects all four.
const char* const kFolderValues[] = {"ProgramFilesDir",       "CommonFilesDir",
                                     "ProgramW6432Dir",       "CommonW6432Dir",
                                     "ProgramFilesDir (x86)", "CommonFilesDir (x86)"};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAbsolute(const char* path) {
    return (IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) ||
           (IsSeparator(path[0]) && IsSeparator(path[1]));
}

// Single-byte letters upper-case; double-byte characters unchanged.
String UpperCase(const String& text) {
    String upper;
    for (const char* p = text.Text(); *p != '\0';) {
        const char* next = MbNext(p);
        if (next == p + 1 && *p >= 'a' && *p <= 'z') {
            upper.Append(static_cast<char>(*p - 'a' + 'A'));
        } else {
            upper.Append(p, static_cast<unsigned>(next - p));
        }
        p = next;
    }
    return upper;
}

String CurrentFolder() {
    String folder;
    char* buffer = folder.GetBuffer(kPathRoom + 1);
    const bool known = _getcwd(buffer, kPathRoom) != nullptr;
    if (!known) {
        buffer[0] = '\0';
    }
    folder.ReleaseBuffer(-1);
    return folder;
}

// The path made full: "X:\..." or "\\server\share\...". Empty when it cannot be.
String FullText(const char* path) {
    if (strncmp(path, "\\\\?\\", 4) == 0 || strncmp(path, "\\\\.\\", 4) == 0) {
        if (!IsDriveLetter(path[4]) || path[5] != ':') {
            return String(); // device and long network forms are not judged, so refused
        }
        path += 4;
    }
    if (IsAbsolute(path)) {
        return String(path);
    }
    const String current = CurrentFolder();
    if (current.Length() < 3 || !IsAbsolute(current)) {
        return String();
    }
    String full;
    if (IsDriveLetter(path[0]) && path[1] == ':') {
        const bool sameDrive = (current[0] | 0x20) == (path[0] | 0x20);
        full = sameDrive ? current : String(path, 2);
        path += 2;
    } else if (IsSeparator(path[0])) {
        full = String(current.Text(), 2);
    } else {
        full = current;
    }
    full += "\\";
    full += path;
    return full;
}

// Adds a component to `form`, or takes the last one off for "..": never above `rootLength`.
void AddComponent(String* form, unsigned rootLength, const String& part) {
    if (part.Length() == 0 || strcmp(part, ".") == 0) {
        return;
    }
    if (strcmp(part, "..") == 0) {
        const char* last = MbFindLastChar(form->Text(), '\\');
        const unsigned cut = last != nullptr ? static_cast<unsigned>(last - form->Text()) : 0;
        if (cut >= rootLength) {
            *form = form->Left(cut);
        }
        return;
    }
    unsigned length = part.Length();
    while (length > 0 && (part[length - 1] == '.' || part[length - 1] == ' ')) {
        --length;
    }
    if (length > 0) {
        form->Append("\\");
        form->Append(part.Text(), length);
    }
}

// "C:\A\B" for a drive path, "\\Server\Share\A" for a network one: components resolved, letter
// case kept. Empty when the path cannot be judged.
String ResolvedForm(const char* path) {
    const String full = FullText(path);
    if (full.Length() == 0) {
        return String();
    }
    const bool network = IsSeparator(full[0]);
    String form = network ? String("\\\\") : String(full.Text(), 2);
    const char* p = full.Text() + 2;
    // A share's root is its server and share name: both components belong to the root.
    unsigned rootParts = network ? 2 : 0;
    unsigned rootLength = form.Length();
    String part;
    for (;;) {
        const char* next = MbNext(p);
        if (*p == '\0' || (next == p + 1 && IsSeparator(*p))) {
            if (rootParts > 0 && part.Length() > 0) {
                form.Append(form.Length() > 2 ? "\\" : "");
                form.Append(part);
                rootLength = form.Length();
                --rootParts;
            } else {
                AddComponent(&form, rootLength, part);
            }
            part.Empty();
            if (*p == '\0') {
                break;
            }
        } else {
            part.Append(p, static_cast<unsigned>(next - p));
        }
        p = next;
    }
    if (network && rootParts > 0) {
        return String(); // no share named: nothing to judge by
    }
    return form;
}

// The resolved form with letters upper-case: the spelling the folders are compared by.
String ComparableForm(const char* path) {
    return UpperCase(ResolvedForm(path));
}

bool IsRootForm(const String& form) {
    if (form[0] != '\\') {
        return form.Length() == 2;
    }
    return MbFindChar(form.Text() + 2, '\\') == nullptr ||
           MbFindChar(MbFindChar(form.Text() + 2, '\\') + 1, '\\') == nullptr;
}

// True when `candidate` is `folder` or one of its ancestors.
bool Contains(const String& candidate, const String& folder) {
    const unsigned n = candidate.Length();
    return strncmp(folder, candidate, n) == 0 && (folder[n] == '\0' || folder[n] == '\\');
}

bool Covers(const String& candidate, const char* folder) {
    if (folder == nullptr || !IsAbsolute(folder)) {
        return false;
    }
    const String form = ComparableForm(folder);
    return form.Length() > 0 && Contains(candidate, form);
}

// True as soon as `judge` answers true for one protected folder: the Windows and system folders,
// the program-files and common-files folders of the registry, the user's profile folder, and
// the folders the system records for every account (recorded_folders.h).
// `reached`, when given, then names that folder and what it is.
template <typename Judge> bool AnyProtectedFolder(Judge judge, String* reached) {
    const auto found = [&](const char* what, const String& folder) {
        if (!judge(folder)) {
            return false;
        }
        if (reached != nullptr) {
            *reached = Concat(Concat(what, " "), folder);
        }
        return true;
    };
    if (found("the Windows folder", SystemFolder(GetWindowsDirectoryA)) ||
        found("the system folder", SystemFolder(GetSystemDirectoryA))) {
        return true;
    }
    const bool registered = AnyCurrentVersionView([&](HKEY key) {
        for (const char* name : kFolderValues) {
            if (found(Concat("the folder of ", name), ReadFolderValue(key, name))) {
                return true;
            }
        }
        return false;
    });
    if (registered) {
        return true;
    }
    const char* profile = getenv("USERPROFILE");
    if (profile != nullptr && found("the user's profile folder", String(profile))) {
        return true;
    }
    // Every account's: run as SYSTEM, or without USERPROFILE, the users' profiles are still
    // protected.
    auto recorded = [&](const char* what, const String& folder) { return found(what, folder); };
    return AnyRecordedFolder(recorded);
}

// The identities on disk of the protected folders and their ancestors, by their upper-case
// form, while a ProtectedFolderIdentities lives: a text of three numbers, or empty for a folder
// that could not be opened. Null when none lives.
StringMap* g_keptIdentities = nullptr;

String IdentityText(const DiskIdentity& identity) {
    String text;
    return text.Format("%lX %lX %lX", static_cast<unsigned long>(identity.volumeSerial),
                       static_cast<unsigned long>(identity.indexHigh),
                       static_cast<unsigned long>(identity.indexLow));
}

// IdentifyOnDisk of a protected folder's ancestor, kept for the run when a
// ProtectedFolderIdentities lives.
bool IdentifyProtected(const String& spelt, const String& key, DiskIdentity* out) {
    if (g_keptIdentities == nullptr) {
        return IdentifyOnDisk(spelt, out);
    }
    String kept;
    if (g_keptIdentities->Lookup(key, kept)) {
        unsigned long serial = 0;
        unsigned long high = 0;
        unsigned long low = 0;
        if (sscanf(kept, "%lX %lX %lX", &serial, &high, &low) != 3) {
            return false;
        }
        *out = DiskIdentity{static_cast<DWORD>(serial), static_cast<DWORD>(high),
                            static_cast<DWORD>(low)};
        return true;
    }
    const bool known = IdentifyOnDisk(spelt, out);
    g_keptIdentities->ValueFor(key) = known ? IdentityText(*out) : String();
    return known;
}

// True when what `folder` or one of its ancestors names on disk is `target`. The ancestors are
// taken from the folder's spelling, and each is opened as spelt, links followed: a profile under
// a junction thereby protects the junction's target too. `opened`, when given, holds the forms
// (upper-case) a walk of this judgement has passed already, and with them all above them: the
// many shell folders below one profile share their ancestors, each opened once.
// `protectedFolder`: the folder is a protected one, whose identities may be kept for the run.
bool IsFolderOrAncestorOnDisk(const DiskIdentity& target, const String& folder,
                              StringMap* opened = nullptr, bool protectedFolder = false) {
    if (!IsAbsolute(folder)) {
        return false;
    }
    String form = ResolvedForm(folder);
    while (form.Length() > 0) {
        const String key = opened != nullptr || protectedFolder ? UpperCase(form) : String();
        if (opened != nullptr) {
            if (opened->FindValue(key) != nullptr) {
                return false;
            }
            opened->ValueFor(key);
        }
        const bool root = IsRootForm(form);
        const String spelt = root ? Concat(form, "\\") : form;
        DiskIdentity identity;
        const bool known = protectedFolder ? IdentifyProtected(spelt, key, &identity)
                                           : IdentifyOnDisk(spelt, &identity);
        if (known && SameOnDisk(identity, target)) {
            return true;
        }
        if (root) {
            break;
        }
        const char* last = MbFindLastChar(form.Text(), '\\');
        form = form.Left(static_cast<unsigned>(last - form.Text()));
    }
    return false;
}

// The folder `path` names on disk (`onDisk`, when the caller holds it) is a protected folder or
// an ancestor of one, whatever the spelling that reaches it. A path that cannot be opened is
// judged by its spelling alone.
bool ReachesProtectedFolder(const char* path, String* reached, const DiskIdentity* onDisk) {
    DiskIdentity target;
    if (onDisk != nullptr) {
        target = *onDisk;
    } else if (!IdentifyOnDisk(path, &target)) {
        return false;
    }
    StringMap opened(32);
    return AnyProtectedFolder(
        [&](const String& folder) {
            return IsFolderOrAncestorOnDisk(target, folder, &opened, true);
        },
        reached);
}

} // namespace

FolderReach::FolderReach(const char* path)
    : candidate_(path != nullptr && *path != '\0' ? ComparableForm(path) : String()), target_(),
      onDisk_(candidate_.Length() > 0 && IdentifyOnDisk(path, &target_)) {}

bool FolderReach::Reaches(const String& folder) const {
    return candidate_.Length() == 0 || Covers(candidate_, folder) ||
           (onDisk_ && IsFolderOrAncestorOnDisk(target_, folder));
}

ProtectedFolderIdentities::ProtectedFolderIdentities() : kept_(nullptr) {
    if (g_keptIdentities == nullptr) {
        kept_ = new StringMap(32);
        g_keptIdentities = kept_;
    }
}

ProtectedFolderIdentities::~ProtectedFolderIdentities() {
    if (kept_ != nullptr) {
        g_keptIdentities = nullptr;
        delete kept_;
    }
}

int IsProtectedFolder(const char* path, String* reached, const DiskIdentity* onDisk) {
    if (path == nullptr || *path == '\0') {
        if (reached != nullptr) {
            *reached = "an empty path, which names no folder";
        }
        return 1;
    }
    const String candidate = ComparableForm(path);
    if (candidate.Length() == 0 || IsRootForm(candidate)) {
        if (reached != nullptr) {
            const String root = ResolvedForm(path);
            *reached = candidate.Length() == 0
                           ? String("a path that cannot be made full")
                           : Concat(Concat("the root ", root), root[0] == '\\' ? "" : "\\");
        }
        return 1;
    }
    const bool covers = AnyProtectedFolder(
        [&](const String& folder) { return Covers(candidate, folder); }, reached);
    return covers || ReachesProtectedFolder(path, reached, onDisk) ? 1 : 0;
}

int RefusesCutPath(LogThing thing, const char* path, HKEY root) {
    if (!IsPossiblyCutPath(path)) {
        return 0;
    }
    if (thing == LT_Key) {
        LogKey(LV_Refused, root, path, kCutRule);
    } else {
        LogAction(LV_Refused, thing, path, kCutRule);
    }
    return 1;
}

int RefusesFolderRemoval(const char* path, const DiskIdentity* onDisk) {
    if (path == nullptr || *path == '\0') {
        return 0;
    }
    if (RefusesCutPath(LT_Folder, path)) {
        return 1;
    }
    String reached;
    if (!IsProtectedFolder(path, &reached, onDisk)) {
        return 0;
    }
    if (IsRemovalLogOpen()) {
        LogAction(LV_Refused, LT_Folder, path,
                  Concat("rule: a protected folder or its ancestor is never emptied; it would "
                         "reach ",
                         reached));
    }
    return 1;
}
