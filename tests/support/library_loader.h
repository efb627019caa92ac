// Loads a private copy of the ravenlink shared library that sits beside the
// test program. The copy is a module of its own, so its static state (the
// session manager and its handles) starts fresh, and unloading it runs its
// static destructors while the test watches.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class LoadedLibrary {
 public:
  // Null when the library cannot be copied or loaded; *error then says why.
  static std::unique_ptr<LoadedLibrary> LoadFreshCopy(std::string* error);
  ~LoadedLibrary();  // unloads if still loaded and deletes the copy
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // An exported function by name, typed by the caller (decltype of the
  // declaration in include/ravenlink.h); null when absent.
  template <class F>
  F* Function(const char* name) const {
    return reinterpret_cast<F*>(Symbol(name));
  }
  // Unloads the module now; true when the system reports success.
  bool Unload();

 private:
  using AnyFunction = void (*)();
  LoadedLibrary(std::filesystem::path copy, void* module)
      : copy_(std::move(copy)), module_(module) {}
  AnyFunction Symbol(const char* name) const;

  std::filesystem::path copy_;
  void* module_;
};
