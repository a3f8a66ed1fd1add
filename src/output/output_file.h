// OutputFile: the write-only file behind BMP, raw and AVI writing, and the
// temporary file through which a still image replaces an existing one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file.h"

namespace zirvo {

class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Closes a file still open, then truncates `name` or makes it new.
  bool open(const char* name);
  // Like open, but refuses a name that exists.
  bool openNew(const char* name);
  bool isOpen() const { return file_ != nullptr; }

  // Each is false on failure, or when no file is open.
  bool write(const void* data, std::size_t bytes);
  bool seek(uint64_t offset);
  bool truncate();
  bool flush();
  uint64_t position() const;
  // False when closing reported an error; true when nothing was open.
  bool close();

 private:
  std::unique_ptr<platform::File> file_;
};

// A new, empty file beside `target` that becomes `target` on commit: a save
// that fails leaves an existing target as it was and no partial file behind.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file (closed, empty). False when none can be made.
  bool create(const char* target);
  const std::string& temporaryName() const { return temporary_; }
  // Renames the temporary file over the target. False leaves the target
  // untouched and removes the temporary file.
  bool commit();
  // Removes the temporary file; done on destruction unless committed.
  void discard();

 private:
  std::string target_;
  std::string temporary_;
};

}  // namespace zirvo
