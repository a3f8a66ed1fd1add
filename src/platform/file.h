// Files written by the library: create or truncate, sequential writes,
// positioning, flushing to the disk, and renaming one file over another.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace zirvo::platform {

enum class FileCreation {
  kCreateOrTruncate,  // an existing file is truncated, else a new one is made
  kCreateNew,         // fails when the name exists
};

// A write-only file. Every call reports its own failure; a short write is a
// failure. Closing on destruction ignores errors, so callers that care call
// Close themselves.
class File {
 public:
  struct Handle;
  explicit File(std::unique_ptr<Handle> handle);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Writes all `bytes` at the current position, which then advances.
  bool Write(const void* data, std::size_t bytes);
  // Absolute position for the next write.
  bool Seek(uint64_t offset);
  uint64_t Position() const { return position_; }
  // Ends the file at the current position.
  bool Truncate();
  // Hands what was written to the disk.
  bool Flush();
  // False when closing reported an error (for instance data that could not
  // be written back). Any call after Close fails.
  bool Close();

 private:
  std::unique_ptr<Handle> handle_;
  uint64_t position_ = 0;
};

// Null when the file cannot be opened as asked.
std::unique_ptr<File> OpenFileForWriting(const char* name, FileCreation creation);

// Renames `from` over `to`, replacing an existing `to` in one step.
bool RenameReplacing(const char* from, const char* to);
bool RemoveFile(const char* name);
bool FileExists(const char* name);
// Size in bytes, or -1 when the file cannot be examined.
int64_t FileSize(const char* name);

// Flushes a stdio stream and hands its data to the disk.
bool FlushStream(std::FILE* stream);
// Opens an existing file and hands its data to the disk (for files that a
// library wrote and closed itself).
bool FlushFileByName(const char* name);

}  // namespace zirvo::platform
