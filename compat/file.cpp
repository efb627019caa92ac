// Files and directories with Windows semantics over POSIX calls. Paths are
// wide text that becomes UTF-8; a backslash is a separator like a slash.

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "compat/handles.h"
#include "compat/text.h"

namespace {

class File : public compat::KernelObject {
 public:
  explicit File(int descriptor) : descriptor(descriptor) {}
  ~File() override { ::close(descriptor); }
  const int descriptor;
};

std::string NativePath(LPCWSTR path) {
  std::string native = compat::EncodeUtf8(path, std::wcslen(path));
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

bool DirectoryExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.empty() ? "." : path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A missing file is ERROR_FILE_NOT_FOUND when its directory exists and
// ERROR_PATH_NOT_FOUND when the directory itself is missing, as on Windows.
DWORD ErrorFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT: {
      const size_t slash = path.find_last_of('/');
      const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
      return slash == 0 || DirectoryExists(parent) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBADF:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

constexpr DWORD kSupportedAccess = GENERIC_READ | GENERIC_WRITE | FILE_GENERIC_WRITE;
constexpr DWORD kSupportedShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

// Access: any of GENERIC_READ, GENERIC_WRITE, FILE_GENERIC_WRITE and their
// parts (FILE_APPEND_DATA alone writes at the end of the file, whatever the
// position). Sharing: read and write bits are accepted but not enforced.
// Dispositions CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS; with the
// last two and an existing file the last error is ERROR_ALREADY_EXISTS, else 0.
// Attributes: 0 or FILE_ATTRIBUTE_NORMAL. Security attributes and a template
// are not supported. Anything else fails with ERROR_INVALID_PARAMETER.
// A directory does not open (ERROR_ACCESS_DENIED).
extern "C" HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES attributes, DWORD disposition, DWORD flags,
                              HANDLE templateFile) {
  if (path == nullptr || *path == L'\0' || (access & ~kSupportedAccess) != 0 ||
      (share & ~kSupportedShare) != 0 || attributes != nullptr || templateFile != nullptr ||
      (flags != 0 && flags != FILE_ATTRIBUTE_NORMAL) || disposition < CREATE_NEW ||
      disposition > OPEN_ALWAYS) {
    SetLastError(path != nullptr && *path == L'\0' ? ERROR_PATH_NOT_FOUND
                                                   : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
  const bool appends = !writes && (access & FILE_APPEND_DATA) != 0;
  int mode = (writes || appends) ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY;
  if (appends) mode |= O_APPEND;
  mode |= O_CLOEXEC;
  const std::string native = NativePath(path);

  // Create exclusively first, so that "did it exist" is known without a race.
  int descriptor = -1;
  bool existed = false;
  for (int attempt = 0; attempt < 8 && descriptor < 0; ++attempt) {
    if (disposition != OPEN_EXISTING) {
      descriptor = ::open(native.c_str(), mode | O_CREAT | O_EXCL, 0666);
      if (descriptor >= 0) break;
      if (errno != EEXIST) break;
      if (disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
      }
    }
    const int truncate = disposition == CREATE_ALWAYS && (writes || appends) ? O_TRUNC : 0;
    descriptor = ::open(native.c_str(), mode | truncate);
    if (descriptor >= 0) {
      existed = true;
    } else if (errno != ENOENT || disposition == OPEN_EXISTING) {
      break;
    }  // else removed between the two opens: try again
  }
  if (descriptor < 0) {
    SetLastError(ErrorFromErrno(errno, native));
    return INVALID_HANDLE_VALUE;
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(descriptor);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (existed && disposition == CREATE_ALWAYS && !(writes || appends)) {
    // Windows replaces the file even when opened for reading only.
    if (::ftruncate(descriptor, 0) != 0) {
      ::close(descriptor);
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  HANDLE handle = compat::RegisterHandle(std::make_shared<File>(descriptor));
  const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

namespace {

// Moves size bytes with step(offset, remaining) (a read or a write of the
// descriptor), as the synchronous ReadFile and WriteFile do: an OVERLAPPED
// structure or a null buffer for a non-empty transfer fails with
// ERROR_INVALID_PARAMETER. A step that returns 0 ends the transfer early.
template <typename Step>
BOOL TransferBytes(HANDLE file, bool hasBuffer, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped,
                   Step step) {
  if (moved != nullptr) *moved = 0;
  if (overlapped != nullptr || (!hasBuffer && size != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto object = compat::LookupHandleAs<File>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD done = 0;
  while (done < size) {
    const ssize_t count = step(object->descriptor, done, size - done);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      if (moved != nullptr) *moved = done;
      SetLastError(ErrorFromErrno(errno, std::string()));
      return FALSE;
    }
    done += static_cast<DWORD>(count);
  }
  if (moved != nullptr) *moved = done;
  return TRUE;
}

}  // namespace

// Synchronous only: an OVERLAPPED structure fails with ERROR_INVALID_PARAMETER.
// Writes every byte unless the disk fails.
extern "C" BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                          LPOVERLAPPED overlapped) {
  const auto* bytes = static_cast<const char*>(data);
  return TransferBytes(file, data != nullptr, size, written, overlapped,
                       [bytes](int descriptor, DWORD offset, DWORD remaining) {
                         return ::write(descriptor, bytes + offset, remaining);
                       });
}

// Synchronous only, as WriteFile. Reading at the end of the file succeeds with 0 bytes.
extern "C" BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
                         LPOVERLAPPED overlapped) {
  auto* bytes = static_cast<char*>(data);
  return TransferBytes(file, data != nullptr, size, read, overlapped,
                       [bytes](int descriptor, DWORD offset, DWORD remaining) {
                         return ::read(descriptor, bytes + offset, remaining);
                       });
}

// The size of an open file now. A handle that is not a file fails with
// ERROR_INVALID_HANDLE; a null output is not supported (ERROR_INVALID_PARAMETER).
extern "C" BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto object = compat::LookupHandleAs<File>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  struct stat status {};
  if (::fstat(object->descriptor, &status) != 0) {
    SetLastError(ErrorFromErrno(errno, std::string()));
    return FALSE;
  }
  size->QuadPart = static_cast<LONGLONG>(status.st_size);
  return TRUE;
}

// Writes reach the system at once; this pushes the file's data to the disk.
extern "C" BOOL FlushFileBuffers(HANDLE file) {
  auto object = compat::LookupHandleAs<File>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (::fdatasync(object->descriptor) != 0 && errno != EINVAL) {
    SetLastError(ErrorFromErrno(errno, std::string()));
    return FALSE;
  }
  return TRUE;
}

// FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for anything
// else; no other attribute (read-only, hidden, archive) is reported.
extern "C" DWORD GetFileAttributesW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string native = NativePath(path);
  struct stat status {};
  if (native.empty() || ::stat(native.c_str(), &status) != 0) {
    SetLastError(native.empty() ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno, native));
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

// Default security only (attributes must be null). Creates one level: a
// missing parent is ERROR_PATH_NOT_FOUND, an existing name ERROR_ALREADY_EXISTS.
extern "C" BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
  if (path == nullptr || attributes != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string native = NativePath(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  if (native.empty() || ::mkdir(native.c_str(), 0777) != 0) {
    const DWORD error = native.empty() ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno, native);
    SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
    return FALSE;
  }
  return TRUE;
}

// Files only: a directory fails with ERROR_ACCESS_DENIED.
extern "C" BOOL DeleteFileW(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string native = NativePath(path);
  if (native.empty() || ::unlink(native.c_str()) != 0) {
    SetLastError(native.empty() ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno, native));
    return FALSE;
  }
  return TRUE;
}
