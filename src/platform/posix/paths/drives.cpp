#include "platform/posix/paths/drives.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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

} // namespace

std::string DriveFolder(char letter) {
    if (!IsDriveLetter(letter)) {
        return std::string();
    }
    if (toupper(static_cast<unsigned char>(letter)) == 'C') {
        return MachineFolder() + "/drive_c";
    }
    std::string link = LinkPath(letter);
    struct stat info;
    if (stat(link.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
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
