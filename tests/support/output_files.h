// Test folders, whole-file reads and a lowered file-size limit for the tests
// of files the library writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zirvo::test {

// A fresh, empty folder removed with everything in it at the end of the test.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& name);
void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes);

// While it lives, no file of the process may grow past `bytes` (a full disk
// as a writer sees it: writes past the limit fail). Available() is false
// where the system has no such limit; the limit then does nothing.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  static bool Available();

 private:
  uint64_t previousSoft_ = 0;
  bool applied_ = false;
};

}  // namespace zirvo::test
