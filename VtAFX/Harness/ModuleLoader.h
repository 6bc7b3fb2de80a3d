// Everything that depends on the operating system's loader: opening an effect module,
// finding an exported function in it, and reading its property list bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harness {

// An open module. Modules are never unloaded: effects keep process-wide data.
struct ModuleHandle {
  void* native = nullptr;  // dlopen handle or HMODULE
  std::string path;
};

// Opens the module at `path`. On failure returns false with the loader's reason in `error`.
bool OpenModule(const std::string& path, ModuleHandle& module, std::string& error);

// Address of the exported function `name`, or null when the module exports none.
void* FindExport(const ModuleHandle& module, const std::string& name);

// Reads the property list as the host would: on Windows the module's "PIPL" resource 16000;
// elsewhere the file the build puts beside the module, named like the module with the
// extension ".pipl" (a "lib" prefix of the module's name is tried with and without).
bool ReadPiplBytes(const ModuleHandle& module, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace harness
