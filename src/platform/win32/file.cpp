// Files on Windows: CreateFileA, WriteFile, SetFilePointer, SetEndOfFile,
// FlushFileBuffers, MoveFileExA.
#include "platform/file.h"

#include <io.h>
#include <windows.h>

namespace zirvo::platform {

struct File::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
};

namespace {

HANDLE CreateForWriting(const char* name, DWORD disposition) {
  return ::CreateFileA(name, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

File::File(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

File::~File() { Close(); }

bool File::Write(const void* data, std::size_t bytes) {
  if (!handle_) return false;
  const auto* cursor = static_cast<const uint8_t*>(data);
  // WriteFile takes 32-bit counts; large frames go in pieces.
  constexpr std::size_t kLargestWrite = std::size_t{1} << 30;
  while (bytes > 0) {
    DWORD piece = static_cast<DWORD>(bytes < kLargestWrite ? bytes : kLargestWrite);
    DWORD written = 0;
    if (!::WriteFile(handle_->file, cursor, piece, &written, nullptr) || written == 0) {
      return false;
    }
    cursor += written;
    bytes -= written;
    position_ += written;
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  if (!handle_) return false;
  LONG high = static_cast<LONG>(offset >> 32);
  DWORD low = ::SetFilePointer(handle_->file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high,
                               FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
  position_ = offset;
  return true;
}

bool File::Truncate() { return handle_ && ::SetEndOfFile(handle_->file); }

bool File::Flush() { return handle_ && ::FlushFileBuffers(handle_->file); }

bool File::Close() {
  if (!handle_) return false;
  HANDLE file = handle_->file;
  handle_.reset();
  return ::CloseHandle(file) != 0;
}

std::unique_ptr<File> OpenFileForWriting(const char* name, FileCreation creation) {
  if (name == nullptr || *name == '\0') return nullptr;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (creation == FileCreation::kCreateOrTruncate) {
    file = CreateForWriting(name, TRUNCATE_EXISTING);
  }
  if (file == INVALID_HANDLE_VALUE) file = CreateForWriting(name, CREATE_NEW);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  auto handle = std::make_unique<File::Handle>();
  handle->file = file;
  return std::make_unique<File>(std::move(handle));
}

bool RenameReplacing(const char* from, const char* to) {
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char* name) { return ::DeleteFileA(name) != 0; }

bool FileExists(const char* name) { return ::GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; }

int64_t FileSize(const char* name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(name, GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FlushStream(std::FILE* stream) {
  if (std::fflush(stream) != 0) return false;
  auto file = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  return file != INVALID_HANDLE_VALUE && ::FlushFileBuffers(file);
}

bool FlushFileByName(const char* name) {
  HANDLE file = ::CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool flushed = ::FlushFileBuffers(file) != 0;
  return (::CloseHandle(file) != 0) && flushed;
}

}  // namespace zirvo::platform
