#include "platform/posix/paths/drives.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>

#include "platform/posix/core/machine.h"

namespace ovlayer {
namespace {

struct TypeName {
    const char* word;
    UINT type;
};

constexpr TypeName kTypes[] = {{"fixed", DRIVE_FIXED},
                               {"removable", DRIVE_REMOVABLE},
                               {"cdrom", DRIVE_CDROM},
                               {"remote", DRIVE_REMOTE},
                               {"ramdisk", DRIVE_RAMDISK}};

std::string LinkPath(char letter) {
    std::string link = MachineFolder() + "/dosdevices/";
    link += static_cast<char>(tolower(static_cast<unsigned char>(letter)));
    link += ':';
    return link;
}

bool IsDriveLetter(char letter) {
    return isalpha(static_cast<unsigned char>(letter)) && static_cast<unsigned char>(letter) < 0x80;
}

// The drive letter the machine's host-root file names, lower case; 0 when it names none.
char HostRootLetter() {
    std::ifstream file(MachinePath("host-root"));
    char letter = 0;
    file >> letter;
    return IsDriveLetter(letter) ? static_cast<char>(tolower(static_cast<unsigned char>(letter)))
                                 : 0;
}

// Made once; an existing link stays as it is.
bool MakeHostRootLink(const std::string& link) {
    mkdir((MachineFolder() + "/dosdevices").c_str(), 0755);
    return symlink("/", link.c_str()) == 0 || errno == EEXIST;
}

bool IsHostRoot(const struct stat& folder) {
    struct stat root;
    return stat("/", &root) == 0 && root.st_dev == folder.st_dev && root.st_ino == folder.st_ino;
}

} // namespace

std::string DriveFolder(char letter) {
    if (!IsDriveLetter(letter)) {
        return std::string();
    }
    if (toupper(static_cast<unsigned char>(letter)) == 'C') {
        return MachineFolder() + "/drive_c";
    }
    const std::string link = LinkPath(letter);
    const bool hostRootAsked = HostRootLetter() == tolower(static_cast<unsigned char>(letter));
    if (hostRootAsked && !MakeHostRootLink(link)) {
        return std::string();
    }
    struct stat info;
    if (stat(link.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::string();
    }
    // A registry value naming a path on such a drive would reach the host's own files: the host's
    // root is a drive only on a machine that asks for it (older machines made Z: one by default).
    if (!hostRootAsked && IsHostRoot(info)) {
        return std::string();
    }
    return link;
}

UINT DriveTypeOf(char letter) {
    if (DriveFolder(letter).empty()) {
        return DRIVE_NO_ROOT_DIR;
    }
    std::ifstream file(LinkPath(letter) + ".type");
    std::string word;
    if (!(file >> word)) {
        return DRIVE_FIXED;
    }
    for (const TypeName& known : kTypes) {
        if (word == known.word) {
            return known.type;
        }
    }
    return DRIVE_UNKNOWN;
}

bool AddDrive(char letter, const std::string& folder, const std::string& type) {
    bool knownType = false;
    for (const TypeName& known : kTypes) {
        knownType = knownType || type == known.word;
    }
    if (!IsDriveLetter(letter) || toupper(static_cast<unsigned char>(letter)) == 'C' ||
        !knownType) {
        return false;
    }
    const std::string devices = MachineFolder() + "/dosdevices";
    mkdir(devices.c_str(), 0755);
    const std::string link = LinkPath(letter);
    unlink(link.c_str());
    if (symlink(folder.c_str(), link.c_str()) != 0) {
        return false;
    }
    std::ofstream(link + ".type") << type << '\n';
    return true;
}

} // namespace ovlayer
