// A library loaded at run time, its exports found by name, as an application
// loads the SDK. Implemented for Windows, where the DLL's own test uses it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zirvo::platform {

class DynamicLibrary {
 public:
  virtual ~DynamicLibrary() = default;
  // Address of the export `name`, or null.
  virtual void* FindExport(const char* name) = 0;
  // Every name of the library's export table, in table order.
  virtual std::vector<std::string> ExportNames() = 0;
  // Distinct addresses behind those names (aliases share one).
  virtual int EntryPointCount() = 0;
};

// Loads `fileName` with the system's search order. Null when it cannot be loaded.
std::unique_ptr<DynamicLibrary> LoadDynamicLibrary(const char* fileName);

}  // namespace zirvo::platform
