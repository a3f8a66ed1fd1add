// Test folders, whole-file reads and the file-size limit.
#include "support/output_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <algorithm>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace zirvo::test {

namespace {
std::atomic<unsigned> folderCounter{0};
}

TemporaryFolder::TemporaryFolder() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate =
        std::filesystem::temp_directory_path() /
        ("zirvo-output-" + std::to_string(stamp) + "-" + std::to_string(folderCounter++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryFolder::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

#if defined(_WIN32)
FileSizeLimit::FileSizeLimit(uint64_t) {}
FileSizeLimit::~FileSizeLimit() = default;
bool FileSizeLimit::Available() { return false; }
#else
FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  // A write past the limit fails with EFBIG instead of ending the process.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  previousSoft_ = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  applied_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  if (!applied_) throw std::runtime_error("setrlimit(RLIMIT_FSIZE) failed");
}

FileSizeLimit::~FileSizeLimit() {
  if (!applied_) return;
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(previousSoft_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

bool FileSizeLimit::Available() { return true; }
#endif

}  // namespace zirvo::test
