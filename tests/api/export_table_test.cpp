// The export table as an application meets it: the names the public header
// declares, the names the built library exports and the catalogue's built
// names are one set; aliases share one address; every export given an unknown
// handle returns its failure value and writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "api/export_catalogue.h"

#if defined(_WIN32)
#include "platform/dynamic_library.h"
#else
#include <dlfcn.h>
#endif

namespace zirvo::test {
namespace {

using NameSet = std::set<std::string>;

// The built library, loaded as an application loads it. It keeps its own
// camera registry, which this test never fills: every handle is unknown there.
class LoadedLibrary {
 public:
#if defined(_WIN32)
  LoadedLibrary() : library_(platform::LoadDynamicLibrary("ZirvoSdk_USB3_7730QX.dll")) {}
  bool Loaded() const { return library_ != nullptr; }
  void* Find(const char* name) const { return library_->FindExport(name); }
  NameSet ExportedNames() const {
    std::vector<std::string> names = library_->ExportNames();
    return NameSet(names.begin(), names.end());
  }

 private:
  std::unique_ptr<platform::DynamicLibrary> library_;
#else
  LoadedLibrary() : handle_(dlopen(ZIRVO_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedLibrary() {
    if (handle_) dlclose(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  bool Loaded() const { return handle_ != nullptr; }
  void* Find(const char* name) const { return dlsym(handle_, name); }
  // The defined dynamic symbols of the C API (the port helpers of
  // zirvo_port.h are a separate family).
  NameSet ExportedNames() const {
    NameSet names;
    const std::string command = std::string("nm -D --defined-only '") + ZIRVO_LIBRARY_FILE + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
      std::istringstream fields(line);
      std::string address, type, name;
      if (fields >> address >> type >> name && name.rfind("Zirvo_", 0) == 0) names.insert(name);
    }
    pclose(pipe);
    return names;
  }

 private:
  void* handle_;
#endif
};

NameSet BuiltNames() { return NameSet(std::begin(kBuiltExports), std::end(kBuiltExports)); }

NameSet HeaderDeclarations() {
  std::ifstream header(ZIRVO_PUBLIC_HEADER);
  std::string text((std::istreambuf_iterator<char>(header)), std::istreambuf_iterator<char>());
  NameSet names;
  const std::regex declaration(R"(ZIRVO_API[^;(]*\b(Zirvo_\w+)\s*\()");
  for (auto match = std::sregex_iterator(text.begin(), text.end(), declaration); match != std::sregex_iterator();
       ++match)
    names.insert((*match)[1].str());
  return names;
}

TEST(ExportCatalogue, HoldsOneHundredEighteenNamesBehindOneHundredFourteenEntryPoints) {
  NameSet names;
  NameSet bodies;
  std::map<std::string, std::string> bodyOf;
  for (const CatalogueEntry& entry : kExportCatalogue) {
    EXPECT_EQ(std::string(entry.name).rfind("Zirvo_", 0), 0u) << entry.name;
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " listed twice";
    bodies.insert(entry.body);
    bodyOf[entry.name] = entry.body;
  }
  EXPECT_EQ(names.size(), 118u);
  EXPECT_EQ(bodies.size(), 114u);
  // A body is an export of its own, not itself an alias.
  for (const std::string& body : bodies) EXPECT_EQ(bodyOf[body], body) << body;
}

TEST(ExportCatalogue, CoversEveryBuiltNameAndEveryBuiltAliasBringsItsBody) {
  std::map<std::string, std::string> bodyOf;
  for (const CatalogueEntry& entry : kExportCatalogue) bodyOf[entry.name] = entry.body;
  const NameSet built = BuiltNames();
  EXPECT_EQ(built.size(), std::size(kBuiltExports)) << "a built name is listed twice";
  for (const std::string& name : built) {
    ASSERT_TRUE(bodyOf.count(name)) << name << " is not an export of the library";
    EXPECT_TRUE(built.count(bodyOf[name])) << name << " is built without " << bodyOf[name];
  }
}

TEST(ExportTable, HeaderDeclaresExactlyTheBuiltExports) {
  const NameSet declared = HeaderDeclarations();
  ASSERT_FALSE(declared.empty()) << "cannot read " << ZIRVO_PUBLIC_HEADER;
  EXPECT_EQ(declared, BuiltNames());
}

class LoadedExportTable : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.Loaded()) << "the built library did not load"; }

  void* Address(const char* name) const { return library_.Find(name); }

  LoadedLibrary library_;
};

TEST_F(LoadedExportTable, LibraryExportsExactlyTheBuiltExports) {
  EXPECT_EQ(library_.ExportedNames(), BuiltNames());
}

TEST_F(LoadedExportTable, AliasesShareTheAddressOfTheirBodyAndNothingElseDoes) {
  std::map<void*, std::string> bodyAt;
  for (const CatalogueEntry& entry : BuiltCatalogueEntries()) {
    void* address = Address(entry.name);
    ASSERT_NE(address, nullptr) << entry.name;
    EXPECT_EQ(address, Address(entry.body)) << entry.name << " and " << entry.body;
    auto [place, inserted] = bodyAt.emplace(address, entry.body);
    EXPECT_EQ(place->second, entry.body) << entry.name << " shares an address with " << place->second;
  }
  NameSet bodies;
  for (const CatalogueEntry& entry : BuiltCatalogueEntries()) bodies.insert(entry.body);
  EXPECT_EQ(bodyAt.size(), bodies.size());
}

TEST_F(LoadedExportTable, DllVersionNeedsNoHandle) {
  using GetDllVersion = int (*)();
  auto function = reinterpret_cast<GetDllVersion>(Address("Zirvo_GetDllVersion"));
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(function(), 0x01310519);
}

// Seven arguments after the handle are as many as any export takes. Every
// argument is at most pointer-sized and the caller removes them (cdecl, and
// the System V convention), so an export declared with fewer ignores the rest.
using AnyExport = int (*)(int, void*, void*, void*, void*, void*, void*, void*);

TEST_F(LoadedExportTable, EveryExportGivenAnUnknownHandleFailsAndWritesNothing) {
  constexpr int kUnknownHandle = 0x5EED1234;
  constexpr std::size_t kBufferBytes = 16384;  // more than ten wide device names
  constexpr unsigned char kSentinel = 0xA5;
  std::vector<std::vector<unsigned char>> buffers(7, std::vector<unsigned char>(kBufferBytes, kSentinel));
  const std::vector<unsigned char> untouched(kBufferBytes, kSentinel);

  int called = 0;
  for (const CatalogueEntry& entry : BuiltCatalogueEntries()) {
    if (entry.unknownHandleResult == kTakesNoHandle) continue;
    auto function = reinterpret_cast<AnyExport>(Address(entry.name));
    ASSERT_NE(function, nullptr) << entry.name;
    EXPECT_EQ(function(kUnknownHandle, buffers[0].data(), buffers[1].data(), buffers[2].data(),
                       buffers[3].data(), buffers[4].data(), buffers[5].data(), buffers[6].data()),
              entry.unknownHandleResult)
        << entry.name;
    for (std::size_t i = 0; i < buffers.size(); ++i) {
      EXPECT_TRUE(buffers[i] == untouched) << entry.name << " wrote through argument " << i + 2;
      buffers[i] = untouched;
    }
    ++called;
  }
  EXPECT_EQ(called, static_cast<int>(std::size(kBuiltExports)) - 2);
}

}  // namespace
}  // namespace zirvo::test
