#include "platform/posix/core/machine.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace ovlayer {

const char* const kWindowsFolder = "C:\\windows";
const char* const kSystemFolder = "C:\\windows\\system32";
const char* const kProgramFilesFolder = "C:\\Program Files (x86)";
const char* const kCommonFilesFolder = "C:\\Program Files (x86)\\Common Files";
const char* const kUserSid = "S-1-5-21-0-0-0-1000";

namespace {

// What a 32-bit program reads on a fresh 64-bit Wine prefix (the 32-bit registry view).
const char kFreshRegistry[] =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software]\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Classes]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
    "\"CommonFilesDir\"=\"C:\\\\Program Files (x86)\\\\Common Files\"\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files (x86)\"\n"
    "\"CommonW6432Dir\"=\"C:\\\\Program Files\\\\Common Files\"\n"
    "\"ProgramW6432Dir\"=\"C:\\\\Program Files\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
    "Folders]\n"
    "\"Common AppData\"=\"C:\\\\ProgramData\"\n"
    "\"Common Desktop\"=\"C:\\\\users\\\\Public\\\\Desktop\"\n"
    "\"Common Documents\"=\"C:\\\\users\\\\Public\\\\Documents\"\n"
    "\"Common Programs\"=\"C:\\\\ProgramData\\\\Microsoft\\\\Windows\\\\Start Menu\\\\Programs\"\n"
    "\"Common Start Menu\"=\"C:\\\\ProgramData\\\\Microsoft\\\\Windows\\\\Start Menu\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n"
    "\"SystemRoot\"=\"C:\\\\windows\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]\n"
    "\"ProfilesDirectory\"=\"C:\\\\users\"\n"
    "\"ProgramData\"=\"C:\\\\ProgramData\"\n"
    "\"Public\"=\"C:\\\\users\\\\Public\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage]\n"
    "\"ACP\"=\"1252\"\n"
    "\"OEMCP\"=\"437\"\n"
    "\n"
    "[HKEY_USERS\\.Default]\n"
    "\n";

// The user's own folders, each under the profile: the Shell Folders value naming it, and its
// place below C:\users\<name>.
const char* const kUserShellFolders[][2] = {
    {"AppData", "AppData\\Roaming"},
    {"Desktop", "Desktop"},
    {"Local AppData", "AppData\\Local"},
    {"My Music", "Music"},
    {"Personal", "Documents"},
    {"Programs", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {"Start Menu", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
};

// A text as a .reg file quotes it.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// A REG_EXPAND_SZ value's data as a .reg file writes it: the text and its terminator in hex.
std::string ExpandText(const std::string& text) {
    std::string hex = "hex(2):";
    char byte[4];
    for (const char c : text + '\0') {
        snprintf(byte, sizeof byte, "%02x,", static_cast<unsigned char>(c));
        hex += byte;
    }
    hex.pop_back();
    return hex;
}

// The registry of a fresh machine: the machine's values, the user's profile and shell folders
// (Shell Folders spelt out, User Shell Folders below %USERPROFILE%, as Windows writes them).
std::string FreshRegistry(const std::string& user) {
    const std::string profile = "C:\\users\\" + user;
    std::string text = kFreshRegistry;
    text += "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    text += std::string(kUserSid) + "]\n\"ProfileImagePath\"=" + Quoted(profile) + "\n\n";
    text += "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
            "Folders]\n";
    for (const auto& folder : kUserShellFolders) {
        text += Quoted(folder[0]) + "=" + Quoted(profile + "\\" + folder[1]) + "\n";
    }
    text += "\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
            "Shell Folders]\n";
    for (const auto& folder : kUserShellFolders) {
        text +=
            Quoted(folder[0]) + "=" + ExpandText(std::string("%USERPROFILE%\\") + folder[1]) + "\n";
    }
    return text + "\n";
}

struct MachineState {
    std::string folder;
    bool made = false;
    std::vector<void (*)()> forgetters;
};

MachineState& State() {
    static MachineState state;
    return state;
}

std::string DefaultFolder() {
    if (const char* named = getenv("OVUNINST_MACHINE")) {
        if (*named) {
            return named;
        }
    }
    const char* home = getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = getpwuid(getuid());
        home = entry ? entry->pw_dir : "/tmp";
    }
    return std::string(home) + "/.local/share/ovuninst/machine";
}

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0777);
    }
    mkdir(path.c_str(), 0777);
}

// Written under a temporary name and linked into place, so that two processes making the same
// machine at once never see a half-written registry and never replace one another's.
void MakeFreshRegistry(const std::string& folder) {
    const std::string target = folder + "/registry.reg";
    if (access(target.c_str(), F_OK) == 0) {
        return;
    }
    const std::string temporary = target + ".new." + std::to_string(getpid());
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "error: cannot create the registry file %s: %s\n", target.c_str(),
                strerror(errno));
        return;
    }
    const std::string text = FreshRegistry(MachineUserName());
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    written = fflush(file) == 0 && fsync(fileno(file)) == 0 && written;
    fclose(file);
    if (written && link(temporary.c_str(), target.c_str()) != 0 && errno != EEXIST) {
        fprintf(stderr, "error: cannot create the registry file %s: %s\n", target.c_str(),
                strerror(errno));
    }
    unlink(temporary.c_str());
}

void MakeMachine(const std::string& folder) {
    const std::string user = MachineUserName();
    for (const char* sub : {"drive_c/windows/system32", "drive_c/Program Files",
                            "drive_c/Program Files (x86)/Common Files", "dosdevices"}) {
        MakeFolders(folder + "/" + sub);
    }
    MakeFolders(folder + "/drive_c/users/" + user);
    for (const auto& shellFolder : kUserShellFolders) {
        std::string below = shellFolder[1];
        for (size_t at = below.find('\\'); at != std::string::npos; at = below.find('\\', at)) {
            below[at] = '/';
        }
        MakeFolders(folder + "/drive_c/users/" + user + "/" + below);
    }
    for (const char* common : {"drive_c/users/Public/Desktop", "drive_c/users/Public/Documents",
                               "drive_c/ProgramData"}) {
        MakeFolders(folder + "/" + common);
    }
    MakeFreshRegistry(folder);
}

} // namespace

const std::string& MachineFolder() {
    MachineState& state = State();
    if (state.folder.empty()) {
        state.folder = DefaultFolder();
    }
    if (!state.made) {
        state.made = true;
        MakeMachine(state.folder);
    }
    return state.folder;
}

std::string MachinePath(const std::string& name) {
    return MachineFolder() + "/" + name;
}

std::string MachineUserName() {
    if (const char* user = getenv("USER")) {
        if (*user && !strchr(user, '/')) {
            return user;
        }
    }
    const passwd* entry = getpwuid(getuid());
    return entry && *entry->pw_name ? entry->pw_name : "user";
}

void UseMachine(const std::string& folder) {
    MachineState& state = State();
    for (void (*forget)() : state.forgetters) {
        forget();
    }
    state.folder = folder;
    state.made = false;
}

void OnMachineChange(void (*forget)()) {
    for (void (*known)() : State().forgetters) {
        if (known == forget) {
            return;
        }
    }
    State().forgetters.push_back(forget);
}

} // namespace ovlayer
