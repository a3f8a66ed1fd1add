// LoadLibraryA, GetProcAddress and the loaded module's export directory.
#include "platform/dynamic_library.h"

#include <windows.h>

#include <set>

namespace zirvo::platform {
namespace {

class LoadedModule final : public DynamicLibrary {
 public:
  explicit LoadedModule(HMODULE module) : module_(module) {}
  ~LoadedModule() override { ::FreeLibrary(module_); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  void* FindExport(const char* name) override {
    return reinterpret_cast<void*>(::GetProcAddress(module_, name));
  }

  std::vector<std::string> ExportNames() override {
    std::vector<std::string> names;
    const IMAGE_EXPORT_DIRECTORY* directory = ExportDirectory();
    if (directory == nullptr) return names;
    const auto* nameTable = At<DWORD>(directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
      names.emplace_back(At<char>(nameTable[i]));
    }
    return names;
  }

  int EntryPointCount() override {
    const IMAGE_EXPORT_DIRECTORY* directory = ExportDirectory();
    if (directory == nullptr) return 0;
    const auto* addresses = At<DWORD>(directory->AddressOfFunctions);
    std::set<DWORD> distinct(addresses, addresses + directory->NumberOfFunctions);
    distinct.erase(0);
    return static_cast<int>(distinct.size());
  }

 private:
  template <typename T>
  const T* At(DWORD relativeAddress) const {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module_) + relativeAddress);
  }

  const IMAGE_EXPORT_DIRECTORY* ExportDirectory() const {
    const auto* dos = At<IMAGE_DOS_HEADER>(0);
    const auto* nt = At<IMAGE_NT_HEADERS>(static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0 || entry.Size == 0) return nullptr;
    return At<IMAGE_EXPORT_DIRECTORY>(entry.VirtualAddress);
  }

  const HMODULE module_;
};

}  // namespace

std::unique_ptr<DynamicLibrary> LoadDynamicLibrary(const char* fileName) {
  HMODULE module = ::LoadLibraryA(fileName);
  if (module == nullptr) return nullptr;
  return std::make_unique<LoadedModule>(module);
}

}  // namespace zirvo::platform
