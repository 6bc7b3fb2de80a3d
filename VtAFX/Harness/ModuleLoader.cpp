#include "ModuleLoader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#include <dlfcn.h>
#endif

namespace harness {

#ifdef _WIN32

bool OpenModule(const std::string& path, ModuleHandle& module, std::string& error) {
  HMODULE h = LoadLibraryA(path.c_str());
  if (h == nullptr) {
    error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  module.native = reinterpret_cast<void*>(h);
  module.path = path;
  return true;
}

void* FindExport(const ModuleHandle& module, const std::string& name) {
  if (module.native == nullptr) return nullptr;
  return reinterpret_cast<void*>(
      GetProcAddress(reinterpret_cast<HMODULE>(module.native), name.c_str()));
}

bool ReadPiplBytes(const ModuleHandle& module, std::vector<uint8_t>& bytes, std::string& error) {
  HMODULE h = reinterpret_cast<HMODULE>(module.native);
  HRSRC info = FindResourceA(h, MAKEINTRESOURCEA(16000), "PIPL");
  HGLOBAL loaded = info != nullptr ? LoadResource(h, info) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    error = module.path + " has no PIPL resource 16000";
    return false;
  }
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes.assign(p, p + SizeofResource(h, info));
  return true;
}

#else

bool OpenModule(const std::string& path, ModuleHandle& module, std::string& error) {
  // RTLD_LOCAL keeps the effect's symbols to itself, as a host keeps plug-ins apart.
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown reason");
    return false;
  }
  module.native = h;
  module.path = path;
  return true;
}

void* FindExport(const ModuleHandle& module, const std::string& name) {
  if (module.native == nullptr) return nullptr;
  return dlsym(module.native, name.c_str());
}

bool ReadPiplBytes(const ModuleHandle& module, std::vector<uint8_t>& bytes, std::string& error) {
  const std::string& path = module.path;
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = stem.find('.');
  if (dot != std::string::npos) stem.resize(dot);
  std::vector<std::string> candidates{dir + stem + ".pipl"};
  if (stem.compare(0, 3, "lib") == 0) candidates.push_back(dir + stem.substr(3) + ".pipl");
  for (const std::string& candidate : candidates) {
    std::FILE* file = std::fopen(candidate.c_str(), "rb");
    if (file == nullptr) continue;
    bytes.clear();
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
      error = "cannot read " + candidate;
      return false;
    }
    return true;
  }
  error = "no property list beside " + path + " (looked for " + candidates.front() + ")";
  return false;
}

#endif

}  // namespace harness
