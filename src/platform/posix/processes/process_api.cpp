// kernel32's process functions over Linux processes. A process may be opened when this user may
// signal it; TerminateProcess sends SIGKILL, so the exit code asked for is not what the process
// reports to its parent (a signal death is).
#include "platform/posix/processes/process_api.h"

#include "platform/posix/files/file_api.h"
#include "platform/posix/files/file_errors.h"
#include "platform/posix/files/file_handles.h"
#include "platform/posix/files/stream_api.h"
#include "platform/posix/processes/process_handles.h"
#include "platform/posix/core/test_controls.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>

namespace ovlayer {
namespace {

struct OpenedProcess {
    DWORD processId;
    DWORD access;
    int pidfd; // -1 on a kernel without pidfds: the process number alone then names it
};

std::unordered_map<HANDLE, OpenedProcess>& Handles() {
    static std::unordered_map<HANDLE, OpenedProcess> handles;
    return handles;
}

OpenedProcess* Find(HANDLE handle) {
    auto it = Handles().find(handle);
    return it == Handles().end() ? nullptr : &it->second;
}

int OpenPidfd(DWORD processId) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// kill() semantics through the pidfd when there is one: 0 or -1 with errno.
int Signal(const OpenedProcess& process, int signal) {
#ifdef SYS_pidfd_send_signal
    if (process.pidfd >= 0) {
        return static_cast<int>(syscall(SYS_pidfd_send_signal, process.pidfd, signal, nullptr, 0));
    }
#endif
    return kill(static_cast<pid_t>(process.processId), signal);
}

LONG OpenStatus(DWORD processId) {
    // Windows reports both the idle process and an unknown identifier as a bad parameter.
    if (processId == 0 || processId > 0x7FFFFFFF) {
        return ERROR_INVALID_PARAMETER;
    }
    if (kill(static_cast<pid_t>(processId), 0) == 0) {
        return ERROR_SUCCESS;
    }
    return static_cast<LONG>(StatusFromHostErrno(errno));
}

HANDLE NewHandle(const OpenedProcess& process) {
    // The address of a heap byte is a unique, never-null handle value for as long as it lives.
    HANDLE handle = new char;
    Handles().emplace(handle, process);
    return handle;
}

} // namespace

bool ProcessOfHandle(HANDLE handle, DWORD access, DWORD* processId, LONG* status) {
    const OpenedProcess* process = Find(handle);
    if (process == nullptr) {
        *status = ERROR_INVALID_HANDLE;
        return false;
    }
    if ((process->access & access) != access) {
        *status = ERROR_ACCESS_DENIED;
        return false;
    }
    *processId = process->processId;
    return true;
}

bool ProcessStillRuns(HANDLE handle) {
    const OpenedProcess* process = Find(handle);
    return process != nullptr && Signal(*process, 0) == 0;
}

} // namespace ovlayer

using ovlayer::OpenedProcess;

extern "C" {

HANDLE WINAPI OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId) {
    ovlayer::Record("OpenProcess(" + std::to_string(access) + ", " + std::to_string(inheritHandle) +
                    ", " + std::to_string(processId) + ")");
    long status = ERROR_SUCCESS;
    if (!ovlayer::TakeInjectedFailure(ovlayer::Call::OpenProcess, &status)) {
        status = ovlayer::OpenStatus(processId);
    }
    int pidfd = -1;
    if (status == ERROR_SUCCESS) {
        pidfd = ovlayer::OpenPidfd(processId);
        if (pidfd < 0 && errno != ENOSYS) {
            status =
                static_cast<LONG>(ovlayer::StatusFromHostErrno(errno)); // ended between the looks
        }
    }
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return nullptr;
    }
    return ovlayer::NewHandle(OpenedProcess{processId, access, pidfd});
}

BOOL WINAPI TerminateProcess(HANDLE process, UINT exitCode) {
    DWORD processId = 0;
    long injected = 0;
    LONG status = ERROR_SUCCESS;
    if (ovlayer::TakeInjectedFailure(ovlayer::Call::TerminateProcess, &injected)) {
        status = static_cast<LONG>(injected);
    } else if (ovlayer::ProcessOfHandle(process, PROCESS_TERMINATE, &processId, &status)) {
        ovlayer::Record("TerminateProcess(" + std::to_string(processId) + ", " +
                        std::to_string(exitCode) + ")");
        if (processId == static_cast<DWORD>(getpid())) {
            _exit(static_cast<int>(exitCode));
        }
        if (ovlayer::Signal(*ovlayer::Find(process), SIGKILL) == 0) {
            return TRUE;
        }
        // Windows refuses to terminate a process that has already ended.
        status = ERROR_ACCESS_DENIED;
    }
    SetLastError(static_cast<DWORD>(status));
    return FALSE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (ovlayer::CloseFileHandle(handle) || ovlayer::CloseStreamHandle(handle)) {
        return TRUE;
    }
    OpenedProcess* process = ovlayer::Find(handle);
    if (process == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (process->pidfd >= 0) {
        close(process->pidfd);
    }
    ovlayer::Handles().erase(handle);
    delete static_cast<char*>(handle);
    return TRUE;
}

DWORD WINAPI GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

} // extern "C"
