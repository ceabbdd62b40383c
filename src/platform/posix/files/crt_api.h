// The Microsoft runtime's file and text functions, on Windows paths, with its errno values.
#pragma once

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctype.h>

#define _S_IFMT 0xF000
#define _S_IFDIR 0x4000
#define _S_IFCHR 0x2000
#define _S_IFREG 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
#define _S_IEXEC 0x0040

// The fields of the 32-bit runtime's struct _stat that callers read.
struct _stat {
    unsigned int st_dev;
    unsigned short st_ino;
    unsigned short st_mode;
    short st_nlink;
    short st_uid;
    short st_gid;
    unsigned int st_rdev;
    long st_size;
    long long st_atime_;
    long long st_mtime_;
    long long st_ctime_;
};

extern "C" {
int _stat(const char* path, struct _stat* info);
int _unlink(const char* path);
int _rmdir(const char* path);
int _mkdir(const char* path);
int _chdir(const char* path);
char* _getcwd(char* buffer, int size);
int _chmod(const char* path, int mode);
int ovl_rename(const char* from, const char* to);
int _creat(const char* path, int mode);
int _write(int fd, const void* data, unsigned int count);
int _close(int fd);
long _lseek(int fd, long offset, int origin);
int _chsize(int fd, long size);
int ovl_fflush(FILE* stream);
int _vsnprintf(char* buffer, size_t count, const char* format, va_list args);
int _snprintf(char* buffer, size_t count, const char* format, ...);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
}

// rename works on Windows paths, and fflush(stdin) discards typed-ahead input as the Windows
// runtime's does (glibc's leaves a pipe's buffered bytes in place).
#define rename(from, to) ovl_rename(from, to)
#define fflush(stream) ovl_fflush(stream)
