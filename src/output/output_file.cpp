// OutputFile and the temporary file that replaces a still image on commit.
#include "output/output_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace zirvo {

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const char* name) {
  close();
  file_ = platform::OpenFileForWriting(name, platform::FileCreation::kCreateOrTruncate);
  return file_ != nullptr;
}

bool OutputFile::openNew(const char* name) {
  close();
  file_ = platform::OpenFileForWriting(name, platform::FileCreation::kCreateNew);
  return file_ != nullptr;
}

bool OutputFile::write(const void* data, std::size_t bytes) {
  return file_ && file_->Write(data, bytes);
}

bool OutputFile::seek(uint64_t offset) { return file_ && file_->Seek(offset); }

bool OutputFile::truncate() { return file_ && file_->Truncate(); }

bool OutputFile::flush() { return file_ && file_->Flush(); }

uint64_t OutputFile::position() const { return file_ ? file_->Position() : 0; }

bool OutputFile::close() {
  if (!file_) return true;
  bool closed = file_->Close();
  file_.reset();
  return closed;
}

namespace {

// Distinguishes temporary names made at the same moment in this process;
// the start value keeps two processes apart in the common case, and an
// exclusive create settles the rest.
std::atomic<uint32_t> temporaryCounter{static_cast<uint32_t>(
    std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFu)};

}  // namespace

ReplacementFile::~ReplacementFile() { discard(); }

bool ReplacementFile::create(const char* target) {
  discard();
  if (target == nullptr || *target == '\0') return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~%u.tmp",
                  static_cast<unsigned>(temporaryCounter.fetch_add(1)));
    std::string candidate = std::string(target) + suffix;
    auto file = platform::OpenFileForWriting(candidate.c_str(), platform::FileCreation::kCreateNew);
    if (file) {
      bool closed = file->Close();
      target_ = target;
      temporary_ = std::move(candidate);
      if (!closed) {
        discard();
        return false;
      }
      return true;
    }
    // Only an existing name is worth another try; anything else (a missing
    // folder, no permission) fails the same way again.
    if (!platform::FileExists(candidate.c_str())) return false;
  }
  return false;
}

bool ReplacementFile::commit() {
  if (temporary_.empty()) return false;
  if (!platform::RenameReplacing(temporary_.c_str(), target_.c_str())) {
    discard();
    return false;
  }
  temporary_.clear();
  target_.clear();
  return true;
}

void ReplacementFile::discard() {
  if (!temporary_.empty()) platform::RemoveFile(temporary_.c_str());
  temporary_.clear();
  target_.clear();
}

}  // namespace zirvo
