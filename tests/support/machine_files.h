// Files and folders at Windows paths, made and looked at by tests on both builds: the machine's
// own drive C: on the Linux layer, the real one (a Wine prefix's) on Windows. Made and checked
// beside the program's file functions, not through them. (Scratch folders: scratch.h.)
#pragma once

#include <string>

namespace testsupport {

// Makes the folder and every missing folder above it.
bool MakeFolders(const std::string& windowsPath);
// Makes the file (and the folders above it) holding `content`.
bool MakeFile(const std::string& windowsPath, const std::string& content = "data");
// Removes the file or the folder with all it holds, if there.
void RemoveAll(const std::string& windowsPath);
// The bytes the file holds, as they are (empty when it cannot be read).
std::string ReadBytes(const std::string& windowsPath);
// True when a file or folder of that path exists.
bool Exists(const std::string& windowsPath);
// The bytes of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& windowsPath);
// The system folder, "C:\windows\system32" or as the machine names it.
std::string SystemFolder();

// The runtime's descriptors, for tests that stand in for the console: a pipe (ends[0] to read,
// ends[1] to write; it holds at least 64 KiB), a descriptor copied and moved onto another, plain
// reads and writes, and standard input's stream emptied of what it read ahead and of its end.
bool MakeStreamPipe(int ends[2]);
int CopyDescriptor(int fd);
// `fd` becomes `to` (and is closed itself).
void MoveDescriptor(int fd, int to);
long ReadDescriptor(int fd, char* buffer, unsigned size);
bool WriteDescriptor(int fd, const std::string& data);
void CloseDescriptor(int fd);
void ResetStandardInput();

// A link at `link` to the existing folder `target`, removed (the link alone) at destruction: a
// symbolic link on the Linux layer and under Wine (made by the host's ln, as Wine makes none
// itself), a junction on Windows. Made() is false when the system would not make it.
class FolderLink {
public:
    FolderLink(const std::string& link, const std::string& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    bool Made() const { return made_; }

private:
    std::string link_;
    bool made_ = false;
};

// Sets an environment variable of this process (the runtime's copy, which getenv reads); the
// runtime keeps its own copy of the text.
void SetVariable(const std::string& name, const std::string& value);

// Sets an environment variable of this process for the object's lifetime (the runtime's copy,
// which getenv reads), and restores the old value after. An empty value removes the variable.
class ScopedEnvironment {
public:
    ScopedEnvironment(const std::string& name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

// Held by every test that writes the maker's own registry keys or system-folder files. Under Wine
// the tests of one test program share one prefix, and CTest runs them side by side: without the
// lock one test would wipe the keys another has just written. (On the Linux layer each test
// process has a machine of its own, and the lock does nothing.)
class MakerDataLock {
public:
    MakerDataLock();
    ~MakerDataLock();
    MakerDataLock(const MakerDataLock&) = delete;
    MakerDataLock& operator=(const MakerDataLock&) = delete;

private:
    [[maybe_unused]] void* mutex_ = nullptr; // Windows only
};

} // namespace testsupport
