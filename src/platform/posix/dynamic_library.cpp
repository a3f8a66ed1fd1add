// dlopen and dlsym: libraries the SDK uses only when a feature needs them.
#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace zirvo::platform {
namespace {

class SharedObject final : public DynamicLibrary {
 public:
  explicit SharedObject(void* handle) : handle_(handle) {}
  ~SharedObject() override { ::dlclose(handle_); }
  SharedObject(const SharedObject&) = delete;
  SharedObject& operator=(const SharedObject&) = delete;

  void* FindExport(const char* name) override { return ::dlsym(handle_, name); }
  // The export tables of ELF objects are not read here.
  std::vector<std::string> ExportNames() override { return {}; }
  int EntryPointCount() override { return 0; }

 private:
  void* const handle_;
};

}  // namespace

std::unique_ptr<DynamicLibrary> LoadDynamicLibrary(const char* fileName) {
  void* handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  return std::make_unique<SharedObject>(handle);
}

}  // namespace zirvo::platform
