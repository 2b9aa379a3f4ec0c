// The Windows calls that the engine and the control are written against,
// implemented on Linux. Each call keeps the behaviour its callers rely on:
// results, error values and the ANSI (Latin-1) path syntax. Paths go through
// the drive mapping of platform/paths.h.
#pragma once

#include <cstdint>
#include <cstdio>

using DWORD = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using UINT = uint32_t;
using HANDLE = void*;
using HMODULE = void*;
using HWND = void*;
using FARPROC = void (*)();
using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr UINT MAX_PATH = 260;

// ---- Errors (thread-local, as on Windows) ----
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Library loading ----
// "X\name.dll" loads X/libname.so; a bare "name.dll" takes a library already
// in the process by that SONAME or a versioned one (libname.so.1), else the
// one beside the calling library, else the loader's search order. Loads are
// counted per module.
HMODULE LoadLibraryA(const char* file_name);
FARPROC GetProcAddress(HMODULE module, const char* name);
// Nonzero while `module` named a library loaded through LoadLibraryA (one load
// is undone); 0 once it no longer does.
BOOL FreeLibrary(HMODULE module);

// ---- Files ----
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// Directory; read-only = no write permission bit; hidden = name begins with
// '.'; otherwise normal. INVALID_FILE_ATTRIBUTES when the path does not resolve.
DWORD GetFileAttributesA(const char* path);
// READONLY clears every write bit; without it the owner's write bit is given
// back. HIDDEN cannot be changed (it is part of the name) and is ignored.
BOOL SetFileAttributesA(const char* path, DWORD attributes);
BOOL CreateDirectoryA(const char* path, void* security_attributes);
// The name "<path>[\]<prefix:3><hex>.tmp", written to `temp_file_name`
// (MAX_PATH bytes). With `unique` 0, an empty file of a name not yet taken is
// created and its number answered; with any other `unique`, only the name of
// that number is built (nothing is created) and `unique` answered.
UINT GetTempFileNameA(const char* path, const char* prefix, UINT unique, char* temp_file_name);
BOOL DeleteFileA(const char* path);
// Never leaves a half-written target: the copy is made in a new file beside
// the target, flushed to disk, then renamed over it. The new file keeps the
// permission bits of the target it replaces.
BOOL CopyFileA(const char* existing, const char* new_file, BOOL fail_if_exists);

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// Opens regular files only, as a plain path does on Windows: a folder, device,
// FIFO or socket is refused with ERROR_ACCESS_DENIED, at once and without
// blocking. A symbolic link is followed; the handle knows the file it reached.
// Access 0 opens for the file's information only. OPEN_ALWAYS sets the last
// error to ERROR_ALREADY_EXISTS when the file was there, else to 0.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share_mode, void* security_attributes,
                   DWORD creation_disposition, DWORD flags, HANDLE template_file);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD move_method);
BOOL SetEndOfFile(HANDLE file);
// Synchronous only (`overlapped` must be null). ReadFile stops short only at the
// end of the file.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read_count, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written_count, void* overlapped);

enum FILE_INFO_BY_HANDLE_CLASS { FileBasicInfo = 0, FileStandardInfo = 1 };
struct FILE_STANDARD_INFO {
    int64_t AllocationSize;
    int64_t EndOfFile;
    DWORD NumberOfLinks;
    uint8_t DeletePending;
    uint8_t Directory;
};
// FileStandardInfo only.
BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS info_class, void* info, DWORD size);
// Closes a file handle or releases a thread handle (the thread runs on).
BOOL CloseHandle(HANDLE handle);

// Identity of an open file: two handles whose volume serial number and file
// index are equal refer to one file, whatever names (links) led to it.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;  // directory, read-only or normal (hidden belongs to a name)
    FILETIME ftCreationTime;  // the last status change here
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;  // the device
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;  // the inode
    DWORD nFileIndexLow;
};
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information);
// An exclusive lock on a byte range of an open file, refused at once
// (ERROR_LOCK_VIOLATION) while another open of the file holds one over it; it
// ends with UnlockFile or when the file is closed. Locks bind programs that
// take them; plain reads and writes are not stopped.
BOOL LockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high);
BOOL UnlockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high);
// Removes an empty folder.
BOOL RemoveDirectoryA(const char* path);

// C library buffered files on ANSI Windows paths (the CRT's fopen), and the
// CRT's 64-bit positioning.
FILE* win_fopen(const char* path, const char* mode);
// win_fopen of an existing regular file for reading ("rb") or updating ("r+b"),
// refusing the rest as CreateFileA does.
FILE* win_fopen_file(const char* path, const char* mode);
int _fseeki64(FILE* file, int64_t offset, int origin);
// A C descriptor that takes the file handle over: the handle is not used or
// closed afterwards, closing the descriptor (or its stream) closes the file.
int _open_osfhandle(intptr_t handle, int flags);
FILE* _fdopen(int descriptor, const char* mode);
int _close(int descriptor);
int64_t _ftelli64(FILE* file);

// ---- Threads and process ----
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

HANDLE CreateThread(void* security_attributes, size_t stack_size, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD creation_flags, DWORD* thread_id);
// Waits for a thread handle to end (INFINITE, or 0 to poll).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
void Sleep(DWORD milliseconds);

constexpr DWORD IDLE_PRIORITY_CLASS = 0x40;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;
HANDLE GetCurrentProcess();
// Idle, normal and high map to nice 19, 0 and -10 for every thread of the
// process; FALSE when the system refuses.
BOOL SetPriorityClass(HANDLE process, DWORD priority_class);

// ---- User interface ----
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_TOPMOST = 0x40000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
// No display here: caption and text go to standard error and the answer is OK.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

constexpr int SW_SHOWNORMAL = 1;
// Opens `file` with xdg-open, without a shell; > 32 when it was started.
intptr_t ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                       const char* directory, int show_command);
