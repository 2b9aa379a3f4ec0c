// Threads, process priority, message box and shell.
#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

#include "internal.h"

namespace platform::detail {
BOOL close_file_handle(Handle* handle);
}

namespace {

using platform::detail::Handle;

struct ThreadHandle final : Handle {
    ThreadHandle() : Handle(Kind::thread) {}
    pthread_t thread{};
    std::mutex mutex;
    bool joined = false;
};

struct StartBlock {
    LPTHREAD_START_ROUTINE start;
    void* parameter;
};

void* trampoline(void* raw) {
    const StartBlock block = *static_cast<StartBlock*>(raw);
    delete static_cast<StartBlock*>(raw);
    block.start(block.parameter);
    return nullptr;
}

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

}  // namespace

HANDLE CreateThread(void* /*security_attributes*/, size_t stack_size, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD creation_flags, DWORD* thread_id) {
    if (start == nullptr || creation_flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* handle = new ThreadHandle;
    auto* block = new StartBlock{start, parameter};

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stack_size != 0) pthread_attr_setstacksize(&attributes, stack_size);
    // Windows delivers no signals to threads: the new thread blocks them, so
    // the application's handlers run on its own threads.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const int error = pthread_create(&handle->thread, &attributes, trampoline, block);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete block;
        delete handle;
        platform::detail::set_error_from_errno(error);
        return nullptr;
    }
    if (thread_id != nullptr) *thread_id = static_cast<DWORD>(handle->thread);
    return handle;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    auto* base = static_cast<Handle*>(object);
    if (base == nullptr || object == kCurrentProcess || base->kind != Handle::Kind::thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    auto* handle = static_cast<ThreadHandle*>(base);
    std::lock_guard lock(handle->mutex);
    if (handle->joined) return WAIT_OBJECT_0;
    int result;
    if (milliseconds == INFINITE) {
        result = pthread_join(handle->thread, nullptr);
    } else if (milliseconds == 0) {
        result = pthread_tryjoin_np(handle->thread, nullptr);
    } else {
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += milliseconds / 1000;
        deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) deadline.tv_sec += 1, deadline.tv_nsec -= 1000000000L;
        result = pthread_timedjoin_np(handle->thread, nullptr, &deadline);
    }
    if (result == 0) {
        handle->joined = true;
        return WAIT_OBJECT_0;
    }
    if (result == EBUSY || result == ETIMEDOUT) return WAIT_TIMEOUT;
    platform::detail::set_error_from_errno(result);
    return WAIT_FAILED;
}

BOOL CloseHandle(HANDLE object) {
    if (object == kCurrentProcess) return TRUE;
    auto* base = static_cast<Handle*>(object);
    if (base == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (base->kind == Handle::Kind::file) return platform::detail::close_file_handle(base);
    auto* handle = static_cast<ThreadHandle*>(base);
    {
        std::lock_guard lock(handle->mutex);
        if (!handle->joined) pthread_detach(handle->thread);  // the thread runs on
    }
    delete handle;
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL SetPriorityClass(HANDLE process, DWORD priority_class) {
    int nice_value;
    switch (priority_class) {
        case IDLE_PRIORITY_CLASS: nice_value = 19; break;
        case NORMAL_PRIORITY_CLASS: nice_value = 0; break;
        case HIGH_PRIORITY_CLASS: nice_value = -10; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    if (process != kCurrentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Linux keeps a nice value per thread: set it on every thread of the process.
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        platform::detail::set_error_from_errno(errno);
        return FALSE;
    }
    BOOL ok = TRUE;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const auto tid = static_cast<id_t>(std::strtol(entry->d_name, nullptr, 10));
        if (setpriority(PRIO_PROCESS, tid, nice_value) != 0) {
            platform::detail::set_error_from_errno(errno);
            ok = FALSE;
        }
    }
    closedir(tasks);
    return ok;
}

int MessageBoxA(HWND /*owner*/, const char* text, const char* caption, UINT /*type*/) {
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
    std::fflush(stderr);
    return IDOK;
}

intptr_t ShellExecuteA(HWND /*owner*/, const char* /*operation*/, const char* file, const char* /*parameters*/,
                       const char* /*directory*/, int /*show_command*/) {
    if (file == nullptr || *file == '\0') return 2;  // SE_ERR_FNF
    // Double fork: xdg-open runs detached and leaves no child to reap.
    const pid_t child = fork();
    if (child < 0) return 0;
    if (child == 0) {
        if (fork() == 0) {
            execlp("xdg-open", "xdg-open", file, static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return 42;
}
