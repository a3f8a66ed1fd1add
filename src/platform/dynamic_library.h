// A library loaded at run time, its exports found by name: the SDK as an
// application loads it (Windows), and optional system libraries such as the
// X11 client libraries (Linux).
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
  // Every name of the library's export table, in table order (Windows only;
  // empty on Linux).
  virtual std::vector<std::string> ExportNames() = 0;
  // Distinct addresses behind those names (aliases share one); 0 on Linux.
  virtual int EntryPointCount() = 0;
};

// Loads `fileName` with the system's search order. Null when it cannot be loaded.
std::unique_ptr<DynamicLibrary> LoadDynamicLibrary(const char* fileName);

}  // namespace zirvo::platform
