// Files on POSIX systems: open, write, lseek, ftruncate, fsync, rename.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zirvo::platform {

struct File::Handle {
  int descriptor = -1;
};

namespace {

int OpenWithRetry(const char* name, int flags) {
  int descriptor;
  do {
    descriptor = ::open(name, flags | O_CLOEXEC, 0666);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

}  // namespace

File::File(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

File::~File() { Close(); }

bool File::Write(const void* data, std::size_t bytes) {
  if (!handle_) return false;
  const auto* cursor = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    ssize_t written = ::write(handle_->descriptor, cursor, bytes);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    cursor += written;
    bytes -= static_cast<std::size_t>(written);
    position_ += static_cast<uint64_t>(written);
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  if (!handle_) return false;
  if (::lseek(handle_->descriptor, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  position_ = offset;
  return true;
}

bool File::Truncate() {
  if (!handle_) return false;
  int result;
  do {
    result = ::ftruncate(handle_->descriptor, static_cast<off_t>(position_));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool File::Flush() { return handle_ && ::fsync(handle_->descriptor) == 0; }

bool File::Close() {
  if (!handle_) return false;
  int descriptor = handle_->descriptor;
  handle_.reset();
  // No retry on EINTR: the descriptor is gone either way on Linux.
  return ::close(descriptor) == 0;
}

std::unique_ptr<File> OpenFileForWriting(const char* name, FileCreation creation) {
  if (name == nullptr || *name == '\0') return nullptr;
  int flags = O_WRONLY | O_CREAT;
  flags |= creation == FileCreation::kCreateNew ? O_EXCL : O_TRUNC;
  int descriptor = OpenWithRetry(name, flags);
  if (descriptor < 0) return nullptr;
  auto handle = std::make_unique<File::Handle>();
  handle->descriptor = descriptor;
  return std::make_unique<File>(std::move(handle));
}

bool RenameReplacing(const char* from, const char* to) { return ::rename(from, to) == 0; }

bool RemoveFile(const char* name) { return ::unlink(name) == 0; }

bool FileExists(const char* name) {
  struct stat status;
  return ::stat(name, &status) == 0;
}

int64_t FileSize(const char* name) {
  struct stat status;
  if (::stat(name, &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

bool FlushStream(std::FILE* stream) {
  return std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
}

bool FlushFileByName(const char* name) {
  int descriptor = OpenWithRetry(name, O_WRONLY);
  if (descriptor < 0) return false;
  bool flushed = ::fsync(descriptor) == 0;
  return (::close(descriptor) == 0) && flushed;
}

}  // namespace zirvo::platform
