// The DLL as an application sees it: loaded by name, exports found by name, cdecl calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "api/export_catalogue.h"
#include "platform/dynamic_library.h"

namespace {

using zirvo::platform::DynamicLibrary;
using zirvo::platform::LoadDynamicLibrary;

constexpr const char* kDllName = "ZirvoSdk_USB3_7730QX.dll";

std::vector<std::string> ExpectedExports() {
  return std::vector<std::string>(std::begin(zirvo::test::kBuiltExports), std::end(zirvo::test::kBuiltExports));
}

bool IsExpected(const char* name) {
  std::vector<std::string> expected = ExpectedExports();
  return std::find(expected.begin(), expected.end(), name) != expected.end();
}

int ExpectedEntryPoints() {
  std::set<std::string> bodies;
  for (const zirvo::test::CatalogueEntry& entry : zirvo::test::BuiltCatalogueEntries()) bodies.insert(entry.body);
  return static_cast<int>(bodies.size());
}

}  // namespace

#if defined(__i386__)
// Calls a one-argument function the cdecl way (the caller removes the argument)
// and reports how far the stack pointer ended up from where it started: 0 for
// a cdecl callee, 4 for one that removed its own argument.
extern "C" int CallWithOneArgument(void* function, int argument, int* stackMoved);
asm(R"(
  .text
  .globl _CallWithOneArgument
_CallWithOneArgument:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  movl %esp, %ebx
  pushl 12(%ebp)
  call *8(%ebp)
  addl $4, %esp
  movl %esp, %ecx
  subl %ebx, %ecx
  movl 16(%ebp), %edx
  movl %ecx, (%edx)
  movl %ebx, %esp
  popl %ebx
  popl %ebp
  ret
)");
#endif

class DllExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadDynamicLibrary(kDllName);
    ASSERT_NE(library_, nullptr) << kDllName << " did not load";
  }

  std::unique_ptr<DynamicLibrary> library_;
};

TEST_F(DllExportsTest, AliasesShareOneEntryPoint) {
  EXPECT_EQ(library_->EntryPointCount(), ExpectedEntryPoints());
}

TEST_F(DllExportsTest, EveryListedNameResolvesUndecorated) {
  for (const std::string& name : ExpectedExports()) {
    EXPECT_NE(library_->FindExport(name.c_str()), nullptr) << name;
    EXPECT_EQ(library_->FindExport(("_" + name).c_str()), nullptr) << name;
  }
}

TEST_F(DllExportsTest, ExportsNothingButZirvoNames) {
  for (const std::string& name : library_->ExportNames()) {
    EXPECT_EQ(name.rfind("Zirvo_", 0), 0u) << name;
  }
  EXPECT_EQ(library_->FindExport("DllMain"), nullptr);
}

TEST_F(DllExportsTest, GetDllVersionThroughCdeclPointer) {
  if (!IsExpected("Zirvo_GetDllVersion")) GTEST_SKIP() << "Zirvo_GetDllVersion not exported yet";
  using GetDllVersion = int(__attribute__((cdecl))*)();
  auto function = reinterpret_cast<GetDllVersion>(library_->FindExport("Zirvo_GetDllVersion"));
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(function(), 0x01310519);
}

#if defined(__i386__)
TEST_F(DllExportsTest, CallerRemovesTheArguments) {
  if (!IsExpected("Zirvo_GetLastError")) GTEST_SKIP() << "Zirvo_GetLastError not exported yet";
  void* function = library_->FindExport("Zirvo_GetLastError");
  ASSERT_NE(function, nullptr);
  int stackMoved = -1;
  // No camera has this handle: the result is 0 and nothing else happens.
  EXPECT_EQ(CallWithOneArgument(function, 0x12345678, &stackMoved), 0);
  EXPECT_EQ(stackMoved, 0);
}
#endif

TEST(DllLifetimeTest, LoadsAgainAfterUnload) {
  for (int round = 0; round < 3; ++round) {
    auto library = LoadDynamicLibrary(kDllName);
    ASSERT_NE(library, nullptr) << "round " << round;
  }
}
