// Files and folders: CreateFileA and the operations on file handles, attributes, copy, move and
// delete, folders, and FindFirstFile searches. Paths go through qvplatform::ToNativePath.
//
// Behaviour worth knowing beyond the Windows documentation:
// - A file without any write permission bit carries FILE_ATTRIBUTE_READONLY and is read-only for
//   everybody, root included: opening it for writing, deleting it or replacing it fails with
//   ERROR_ACCESS_DENIED.
// - Share modes are enforced between opens in this process and, through OFD locks, across processes
//   that use this layer (see share_modes.h).
// - Anything that writes or creates a file refuses a symbolic link in the file's own place
//   (ERROR_ACCESS_DENIED, or ERROR_FILE_EXISTS for CREATE_NEW) instead of following it.
#pragma once

#include "kernel32/handles.h"
#include "types.h"

// Access rights.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;
constexpr DWORD DELETE = 0x00010000;
constexpr DWORD READ_CONTROL = 0x00020000;
constexpr DWORD SYNCHRONIZE = 0x00100000;

// Share modes.
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

// Creation dispositions.
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

// Attributes.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Flags (in dwFlagsAndAttributes).
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

// File pointer.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

// MoveFileExA flags.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};
using LPWIN32_FILE_ATTRIBUTE_DATA = WIN32_FILE_ATTRIBUTE_DATA*;

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0, GetFileExMaxInfoLevel = 1 };

// Opening. On success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS met an
// existing file, else ERROR_SUCCESS. Failures return INVALID_HANDLE_VALUE: ERROR_FILE_EXISTS (CREATE_NEW
// over an existing entry), ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED (a folder
// without FILE_FLAG_BACKUP_SEMANTICS, a read-only file opened for writing, permissions, a planted
// symbolic link), ERROR_SHARING_VIOLATION, ERROR_INVALID_PARAMETER (unknown disposition,
// TRUNCATE_EXISTING without write access, overlapped I/O).
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);

// Synchronous I/O only (the overlapped argument must be null). ReadFile returns TRUE with 0 bytes at
// the end of the file.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer,
                      DWORD moveMethod);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);

// Attributes: FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_ARCHIVE for files, plus
// FILE_ATTRIBUTE_READONLY for a file without any write permission bit. A final symbolic link is
// followed.
DWORD GetFileAttributesA(LPCSTR fileName);
DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL GetFileAttributesExA(LPCSTR fileName, GET_FILEEX_INFO_LEVELS infoLevel, LPVOID fileInformation);
// Only FILE_ATTRIBUTE_READONLY has an effect on files: set, it removes every write permission bit;
// cleared, it gives the owner write permission back. Folders keep their permissions.
BOOL SetFileAttributesA(LPCSTR fileName, DWORD fileAttributes);

// Copies data, permission bits and the modification time. The source may be open for writing
// elsewhere (it is read shared); an existing destination must be writable and not open elsewhere.
BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists);
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
// Renames; without MOVEFILE_REPLACE_EXISTING an existing destination gives ERROR_ALREADY_EXISTS;
// across file systems it needs MOVEFILE_COPY_ALLOWED (files only) and fails otherwise with
// ERROR_NOT_SAME_DEVICE.
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);
// A folder or a read-only file gives ERROR_ACCESS_DENIED; a symbolic link is removed itself.
BOOL DeleteFileA(LPCSTR fileName);
BOOL DeleteFileW(LPCWSTR fileName);

// ERROR_ALREADY_EXISTS when the entry exists, ERROR_PATH_NOT_FOUND when the parent is missing.
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);
// ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file, ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
BOOL RemoveDirectoryA(LPCSTR pathName);
BOOL RemoveDirectoryW(LPCWSTR pathName);

// Searches the folder of `fileName` for entries whose names match its last component ("*" and "?"
// with the Windows rules: "*.*" matches every name, "?" also matches nothing before a "." or at the
// end, "*." matches names without a dot). A folder listing includes "." and ".." first; the other
// entries follow sorted by name. The entries are taken when the search starts. A symbolic link is
// reported with FILE_ATTRIBUTE_REPARSE_POINT and never as a folder, so a tree walk does not leave the
// tree. Failures: ERROR_FILE_NOT_FOUND (no match), ERROR_PATH_NOT_FOUND (no such folder),
// ERROR_INVALID_NAME (wildcards before the last component); FindNext* ends with ERROR_NO_MORE_FILES.
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileA(HANDLE findFile, LPWIN32_FIND_DATAA findData);
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE findFile);
