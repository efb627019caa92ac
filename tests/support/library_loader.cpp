#include "support/library_loader.h"

#include <atomic>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const char* const kLibraryFile = "ravenlink.dll";
const char* const kCopyExtension = ".dll";

fs::path ProgramDirectory() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  return fs::path(std::wstring(buffer, length)).parent_path();
}
unsigned long ProcessId() {
  return GetCurrentProcessId();
}
void* OpenModule(const fs::path& path, std::string* error) {
  HMODULE module = LoadLibraryW(path.wstring().c_str());
  if (module == nullptr) *error = "LoadLibraryW failed: " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}
bool CloseModule(void* module) {
  return FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}
void (*FindSymbol(void* module, const char* name))() {
  return reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module), name));
}
#else
const char* const kLibraryFile = "libravenlink.so";
const char* const kCopyExtension = ".so";

fs::path ProgramDirectory() {
  return fs::read_symlink("/proc/self/exe").parent_path();
}
unsigned long ProcessId() {
  return static_cast<unsigned long>(getpid());
}
void* OpenModule(const fs::path& path, std::string* error) {
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) *error = std::string("dlopen failed: ") + dlerror();
  return module;
}
bool CloseModule(void* module) {
  return dlclose(module) == 0;
}
void (*FindSymbol(void* module, const char* name))() {
  return reinterpret_cast<void (*)()>(dlsym(module, name));
}
#endif

}  // namespace

std::unique_ptr<LoadedLibrary> LoadedLibrary::LoadFreshCopy(std::string* error) {
  static std::atomic<int> counter{0};
  std::error_code ec;
  const fs::path original = ProgramDirectory() / kLibraryFile;
  const fs::path copy =
      fs::temp_directory_path(ec) / ("ravenlink_fresh_" + std::to_string(ProcessId()) + "_" +
                                     std::to_string(counter++) + kCopyExtension);
  if (!fs::copy_file(original, copy, fs::copy_options::overwrite_existing, ec)) {
    *error = "cannot copy " + original.string() + ": " + ec.message();
    return nullptr;
  }
  void* module = OpenModule(copy, error);
  if (module == nullptr) {
    fs::remove(copy, ec);
    return nullptr;
  }
  return std::unique_ptr<LoadedLibrary>(new LoadedLibrary(copy, module));
}

LoadedLibrary::~LoadedLibrary() {
  Unload();
  std::error_code ec;
  fs::remove(copy_, ec);
}

bool LoadedLibrary::Unload() {
  if (module_ == nullptr) return true;
  const bool ok = CloseModule(module_);
  module_ = nullptr;
  return ok;
}

LoadedLibrary::AnyFunction LoadedLibrary::Symbol(const char* name) const {
  return module_ == nullptr ? nullptr : FindSymbol(module_, name);
}
