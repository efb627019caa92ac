// Registry reading over a .reg file. The file named by RAVENLINK_REGISTRY
// (default /etc/quorvane/registry.reg) is read again whenever it has changed
// since the last RegOpenKeyExW, so that editing or replacing it acts like a
// change to a live registry. An open key keeps the contents it was opened
// with. A missing or unreadable file is an empty registry.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

#include <sys/stat.h>

#include <winreg.h>

#include "compat/handles.h"
#include "compat/registry_file.h"

namespace {

constexpr const char* kDefaultRegistryFile = "/etc/quorvane/registry.reg";

struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileIdentity& other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
  }
};

struct Snapshot {
  std::mutex lock;
  bool loaded = false;
  std::string path;
  FileIdentity identity;
  std::shared_ptr<const compat::RegistryTree> tree;
};

Snapshot& CurrentSnapshot() {
  static Snapshot* snapshot = new Snapshot;
  return *snapshot;
}

// The registry as the file holds it now, read again only if the file changed.
std::shared_ptr<const compat::RegistryTree> CurrentTree() {
  const char* variable = std::getenv("RAVENLINK_REGISTRY");
  const std::string path =
      variable != nullptr && *variable != '\0' ? variable : kDefaultRegistryFile;
  FileIdentity identity;
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modified = status.st_mtim;
    identity.changed = status.st_ctim;
  }
  Snapshot& snapshot = CurrentSnapshot();
  std::lock_guard<std::mutex> guard(snapshot.lock);
  if (snapshot.loaded && snapshot.path == path && snapshot.identity == identity) {
    return snapshot.tree;
  }
  auto tree = std::make_shared<compat::RegistryTree>();
  if (identity.exists) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    compat::ParseRegistryFile(bytes.str(), *tree);
  }
  snapshot.loaded = true;
  snapshot.path = path;
  snapshot.identity = identity;
  snapshot.tree = std::move(tree);
  return snapshot.tree;
}

class OpenKey : public compat::KernelObject {
 public:
  OpenKey(std::shared_ptr<const compat::RegistryTree> tree, std::wstring path)
      : tree(std::move(tree)), path(std::move(path)) {}
  const std::shared_ptr<const compat::RegistryTree> tree;
  const std::wstring path;  // folded
};

const wchar_t* RootName(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
  if (key == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  return nullptr;
}

constexpr REGSAM kSupportedAccess = KEY_READ;  // includes KEY_QUERY_VALUE

}  // namespace

// Roots: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, or a key opened here; any other
// handle is ERROR_INVALID_HANDLE. Options must be 0. Access: KEY_QUERY_VALUE
// or KEY_READ; any other bit (registry views KEY_WOW64_*, any write access)
// fails with ERROR_INVALID_PARAMETER. A missing key is ERROR_FILE_NOT_FOUND.
extern "C" LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, REGSAM access,
                              PHKEY result) {
  if (result == nullptr || options != 0 || (access & ~kSupportedAccess) != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  std::wstring path;
  if (const wchar_t* name = RootName(root)) {
    path = name;
  } else if (auto parent = compat::LookupHandleAs<OpenKey>(root)) {
    path = parent->path;
  } else {
    return ERROR_INVALID_HANDLE;
  }
  std::shared_ptr<const compat::RegistryTree> tree = CurrentTree();
  if (subKey != nullptr && *subKey != L'\0') {
    std::wstring relative = compat::FoldRegistryName(subKey);
    if (relative.back() == L'\\') relative.pop_back();
    path += L'\\';
    path += relative;
  }
  const bool isRoot = path.find(L'\\') == std::wstring::npos;
  if (!isRoot && tree->keys.find(path) == tree->keys.end()) return ERROR_FILE_NOT_FOUND;
  *result = static_cast<HKEY>(compat::RegisterHandle(std::make_shared<OpenKey>(tree, path)));
  return ERROR_SUCCESS;
}

// A null name reads the default value. With a null data pointer only the type
// and size are returned; with a buffer too small nothing is copied, *size
// becomes the size needed and the result is ERROR_MORE_DATA. Texts come as
// wchar_t units with their NUL. `reserved` must be null.
extern "C" LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD size) {
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<const compat::RegistryTree> tree;
  std::wstring path;
  if (const wchar_t* name = RootName(key)) {
    tree = CurrentTree();
    path = name;
  } else if (auto open = compat::LookupHandleAs<OpenKey>(key)) {
    tree = open->tree;
    path = open->path;
  } else {
    return ERROR_INVALID_HANDLE;
  }
  const auto found = tree->keys.find(path);
  if (found == tree->keys.end()) return ERROR_FILE_NOT_FOUND;
  const auto value =
      found->second.values.find(compat::FoldRegistryName(valueName != nullptr ? valueName : L""));
  if (value == found->second.values.end()) return ERROR_FILE_NOT_FOUND;

  if (type != nullptr) *type = value->second.type;
  const auto needed = static_cast<DWORD>(value->second.data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed != 0) std::memcpy(data, value->second.data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// Closing a root is allowed and does nothing.
extern "C" LONG RegCloseKey(HKEY key) {
  if (RootName(key) != nullptr) return ERROR_SUCCESS;
  if (!compat::LookupHandleAs<OpenKey>(key)) return ERROR_INVALID_HANDLE;
  CloseHandle(static_cast<HANDLE>(key));
  return ERROR_SUCCESS;
}
