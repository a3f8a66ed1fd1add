// Settings store kept in one human-readable file per key under $XDG_CONFIG_HOME.
//
// "Software\Kelvor\Zirvo7730QX3Sdk" is the file $XDG_CONFIG_HOME/Kelvor/Zirvo7730QX3Sdk.ini
// (~/.config when the variable is unset or not absolute). Its format:
//
//   ; comment
//   Size=0            values before the first section belong to the key itself
//   [Size_00]         the sub-key Size_00 (deeper levels as [A\B])
//   TH=4384           a 32-bit value in decimal (signed) or 0x hexadecimal
//
// Every change goes through one read-modify-write under an advisory lock on
// "<file>.lock": re-read, apply this key's changes, write "<file>.tmp", fsync,
// rename over the file, fsync the folder. A crash leaves the old or the new
// file, and concurrent writers keep each other's values. A file that cannot
// be parsed is renamed to "<file>.damaged-<UTC time>" and then counts as
// missing, so it is never overwritten. A file that cannot be read for a
// passing reason (no descriptor left, an I/O error, no memory) fails that
// load or save and stays where it is. A UTF-8 byte-order mark is skipped.
#include "platform/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zirvo::platform {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Names compare without regard to ASCII case: indexes hold the lowered form.
std::string Lowered(std::string_view name) {
  std::string lowered(name);
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return lowered;
}

struct Value {
  std::string name;
  uint32_t value;
};

struct Section {
  std::string path;  // empty for the key itself
  std::vector<Value> values;
  std::unordered_map<std::string, std::size_t> index;  // lowered name -> values entry

  const Value* Find(std::string_view name) const {
    auto found = index.find(Lowered(name));
    return found == index.end() ? nullptr : &values[found->second];
  }
  void Set(std::string_view name, uint32_t value) {
    auto [entry, added] = index.try_emplace(Lowered(name), values.size());
    if (added) values.push_back(Value{std::string(name), value});
    else values[entry->second].value = value;
  }
};

// Sections in file order, found through a hash index, so that a file of many
// values costs time in proportion to its size.
struct Document {
  std::vector<Section> sections;
  std::unordered_map<std::string, std::size_t> index;  // lowered path -> sections entry
  // Lowered paths of every key that exists, the parents of sections included.
  std::unordered_set<std::string> keys;
  std::size_t valueCount = 0;

  const Section* Find(std::string_view path) const {
    auto found = index.find(Lowered(path));
    return found == index.end() ? nullptr : &sections[found->second];
  }
  Section& Ensure(std::string_view path) {
    std::string lowered = Lowered(path);
    auto found = index.find(lowered);
    if (found != index.end()) return sections[found->second];
    for (std::size_t slash = lowered.find('\\'); slash != std::string::npos;
         slash = lowered.find('\\', slash + 1))
      keys.insert(lowered.substr(0, slash));
    keys.insert(lowered);
    index.emplace(std::move(lowered), sections.size());
    sections.push_back(Section{std::string(path), {}, {}});
    return sections.back();
  }
  // A key exists when it has a section of its own or any deeper sub-key does.
  bool HasKey(std::string_view path) const { return path.empty() || keys.count(Lowered(path)) != 0; }
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::optional<uint32_t> ParseNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (!negative && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t magnitude = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    magnitude = magnitude * base + digit;
  }
  if (negative) {
    if (magnitude > 0x80000000ull) return std::nullopt;
    return static_cast<uint32_t>(0 - magnitude);
  }
  if (magnitude > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(magnitude);
}

bool ValidName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (c == '=' || c == '[' || c == ']' || c == '\n' || c == '\r' || c == ';' || c == '#')
      return false;
  return Trim(name).size() == name.size();
}

// Bounds on what a file may cost to load: far above anything this library
// writes (a few kilobytes), far below what would stall a start.
constexpr std::size_t kMaxFileBytes = 1u << 20;
constexpr std::size_t kMaxEntries = 1u << 16;  // sections and values together

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::optional<Document> Parse(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  Document document;
  Section* current = nullptr;
  std::size_t entries = 0;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (++entries > kMaxEntries) return std::nullopt;
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      if (!ValidName(path)) return std::nullopt;
      current = &document.Ensure(path);
      continue;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view name = Trim(line.substr(0, equals));
    std::optional<uint32_t> number = ParseNumber(Trim(line.substr(equals + 1)));
    if (!ValidName(name) || !number) return std::nullopt;
    if (!current) current = &document.Ensure("");
    current->Set(name, *number);
  }
  return document;
}

std::string Format(const Document& document) {
  std::string text =
      "; Zirvo 7730QX SDK settings. Values before the first [section] belong to the\n"
      "; key itself; each [section] is a sub-key. Every value is a 32-bit number.\n";
  auto append = [&text](const Section& section) {
    if (!section.path.empty()) text += "\n[" + section.path + "]\n";
    for (const Value& value : section.values)
      text += value.name + "=" + std::to_string(static_cast<int32_t>(value.value)) + "\n";
  };
  // The key's own values must come before the first section to stay its own.
  if (const Section* own = document.Find("")) append(*own);
  for (const Section& section : document.sections)
    if (!section.path.empty()) append(section);
  return text;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool CloseChecked() {
    int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config";
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
    return std::string(found->pw_dir) + "/.config";
  return {};
}

// Splits "Software\Kelvor\Zirvo7730QX3Sdk" into folders and a file name.
std::optional<std::vector<std::string>> PathComponents(std::string_view path) {
  std::vector<std::string> components;
  while (!path.empty()) {
    std::size_t end = path.find('\\');
    std::string_view component = path.substr(0, end);
    path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    if (component.empty()) continue;
    if (component == "." || component == ".." || component.find('/') != std::string_view::npos ||
        !ValidName(component))
      return std::nullopt;
    components.emplace_back(component);
  }
  if (!components.empty() && SameName(components.front(), "Software")) components.erase(components.begin());
  if (components.empty()) return std::nullopt;
  return components;
}

bool MakeFolders(const std::string& folder) {
  for (std::size_t slash = 1; slash != std::string::npos;) {
    slash = folder.find('/', slash + 1);
    std::string prefix = folder.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

enum class ReadResult { Read, Missing, Damaged, Unavailable };

// Damaged only for what the file is (not a regular file, larger than any
// store); a failure to open or read it is passing and says nothing about it.
ReadResult ReadFile(const std::string& file, std::string& text) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unavailable;
  struct stat status;
  if (::fstat(fd.get(), &status) != 0) return ReadResult::Unavailable;
  if (!S_ISREG(status.st_mode) || static_cast<uint64_t>(status.st_size) > kMaxFileBytes)
    return ReadResult::Damaged;
  text.clear();
  char buffer[8192];
  for (;;) {
    ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadResult::Unavailable;
    if (got == 0) return ReadResult::Read;
    if (text.size() + static_cast<std::size_t>(got) > kMaxFileBytes) return ReadResult::Damaged;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t put = ::write(fd, text.data() + written, text.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    written += static_cast<std::size_t>(put);
  }
  return true;
}

// What loading the file gave: its content, nothing (missing, or damaged and
// now put aside), or a failure that leaves the file where it is.
struct Loaded {
  enum class Kind { Document, Missing, Unavailable };
  Kind kind;
  Document document;
};

Loaded MissingFile() { return {Loaded::Kind::Missing, {}}; }
Loaded UnavailableFile() { return {Loaded::Kind::Unavailable, {}}; }

// The file behind one top-level key.
class StoreFile {
 public:
  StoreFile(std::string folder, std::string file) : folder_(std::move(folder)), file_(std::move(file)) {}

  Loaded Load() const {
    if (std::optional<Loaded> loaded = ReadContent()) return std::move(*loaded);
    // Only under the lock may the file be moved: another writer may just have replaced it.
    Lock lock(*this);
    if (!lock.held()) return UnavailableFile();
    return LoadLocked();
  }

  // Applies `change` to the current file under the lock and replaces it.
  template <typename Change>
  bool Update(Change&& change) const {
    if (!MakeFolders(folder_)) return false;
    Lock lock(*this);
    if (!lock.held()) return false;
    Loaded loaded = LoadLocked();
    // A file that could not be read now must not be replaced by one that
    // holds only this key's changes.
    if (loaded.kind == Loaded::Kind::Unavailable) return false;
    change(loaded.document);
    return Replace(Format(loaded.document));
  }

 private:
  class Lock {
   public:
    explicit Lock(const StoreFile& store)
        : fd_(::open((store.file_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
      if (fd_.get() < 0) return;
      while (::flock(fd_.get(), LOCK_EX) != 0)
        if (errno != EINTR) return;
      held_ = true;
    }
    ~Lock() {
      if (held_) ::flock(fd_.get(), LOCK_UN);
    }
    bool held() const { return held_; }

   private:
    FileDescriptor fd_;
    bool held_ = false;
  };

  // The file as it stands; nothing when it is there but cannot be parsed.
  std::optional<Loaded> ReadContent() const {
    std::string text;
    switch (ReadFile(file_, text)) {
      case ReadResult::Missing:
        return MissingFile();
      case ReadResult::Unavailable:
        return UnavailableFile();
      case ReadResult::Read:
        if (std::optional<Document> document = Parse(text))
          return Loaded{Loaded::Kind::Document, std::move(*document)};
        break;
      case ReadResult::Damaged:
        break;
    }
    return std::nullopt;
  }

  Loaded LoadLocked() const {
    if (std::optional<Loaded> loaded = ReadContent()) return std::move(*loaded);
    return PutAside() ? MissingFile() : UnavailableFile();
  }

  // False when the file could not be moved: it must then not be overwritten.
  bool PutAside() const {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    struct tm utc;
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string aside = file_ + ".damaged-" + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
      aside = file_ + ".damaged-" + stamp + "-" + std::to_string(n);
    return ::rename(file_.c_str(), aside.c_str()) == 0;
  }

  bool Replace(const std::string& text) const {
    std::string temporary = file_ + ".tmp";
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0) return false;
    bool written = WriteAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    written = fd.CloseChecked() && written;
    if (!written || ::rename(temporary.c_str(), file_.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
    FileDescriptor folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return true;
  }

  std::string folder_;
  std::string file_;
};

std::string JoinPath(const std::string& base, std::string_view name) {
  std::string joined = base;
  while (!name.empty()) {
    std::size_t end = name.find('\\');
    std::string_view component = name.substr(0, end);
    name.remove_prefix(end == std::string_view::npos ? name.size() : end + 1);
    if (component.empty()) continue;
    if (!joined.empty()) joined += '\\';
    joined += component;
  }
  return joined;
}

bool ValidKeyPath(const std::string& path) {
  std::string_view rest = path;
  while (!rest.empty()) {
    std::size_t end = rest.find('\\');
    if (!ValidName(rest.substr(0, end))) return false;
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return true;
}

class FileKey final : public SettingsKey {
 public:
  FileKey(std::shared_ptr<const StoreFile> store, std::shared_ptr<const Document> snapshot,
          std::string path, bool writable, bool mustCreate)
      : store_(std::move(store)),
        snapshot_(std::move(snapshot)),
        path_(std::move(path)),
        writable_(writable),
        mustCreate_(mustCreate) {}

  ~FileKey() override { Close(); }

  std::unique_ptr<SettingsKey> OpenSubKey(const char* name) override {
    if (closed_ || !name) return nullptr;
    std::string path = JoinPath(path_, name);
    if (path == path_ || !snapshot_->HasKey(path)) return nullptr;
    return std::make_unique<FileKey>(store_, snapshot_, path, writable_, false);
  }

  std::unique_ptr<SettingsKey> CreateSubKey(const char* name) override {
    if (closed_ || !writable_ || !name) return nullptr;
    std::string path = JoinPath(path_, name);
    if (path == path_ || !ValidKeyPath(path)) return nullptr;
    return std::make_unique<FileKey>(store_, snapshot_, path, true, !snapshot_->HasKey(path));
  }

  bool QueryValue(const char* name, uint32_t& value) override {
    if (closed_ || !name) return false;
    for (const Value& pending : pending_)
      if (SameName(pending.name, name)) {
        value = pending.value;
        return true;
      }
    if (const Section* section = snapshot_->Find(path_))
      if (const Value* stored = section->Find(name)) {
        value = stored->value;
        return true;
      }
    return false;
  }

  bool SetValue(const char* name, uint32_t value) override {
    if (closed_ || !writable_ || !name || !ValidName(name)) return false;
    for (Value& pending : pending_)
      if (SameName(pending.name, name)) {
        pending.value = value;
        return true;
      }
    pending_.push_back(Value{name, value});
    return true;
  }

  bool Close() override {
    if (closed_) return true;
    closed_ = true;
    if (!writable_ || (!mustCreate_ && pending_.empty())) return true;
    return store_->Update([this](Document& document) {
      Section& section = document.Ensure(path_);
      for (const Value& change : pending_) section.Set(change.name, change.value);
    });
  }

 private:
  std::shared_ptr<const StoreFile> store_;
  std::shared_ptr<const Document> snapshot_;
  std::string path_;  // below the top-level key; empty for the key itself
  bool writable_;
  bool mustCreate_;
  std::vector<Value> pending_;
  bool closed_ = false;
};

std::shared_ptr<const StoreFile> StoreFor(const char* path) {
  if (!path) return nullptr;
  std::optional<std::vector<std::string>> components = PathComponents(path);
  std::string folder = ConfigFolder();
  if (!components || folder.empty()) return nullptr;
  std::string file = components->back() + ".ini";
  components->pop_back();
  for (const std::string& component : *components) folder += "/" + component;
  return std::make_shared<const StoreFile>(folder, folder + "/" + file);
}

}  // namespace

std::unique_ptr<SettingsKey> OpenUserKey(const char* path) {
  std::shared_ptr<const StoreFile> store = StoreFor(path);
  if (!store) return nullptr;
  Loaded loaded = store->Load();
  if (loaded.kind != Loaded::Kind::Document) return nullptr;
  return std::make_unique<FileKey>(store, std::make_shared<const Document>(std::move(loaded.document)),
                                   std::string(), false, false);
}

std::unique_ptr<SettingsKey> CreateUserKey(const char* path) {
  std::shared_ptr<const StoreFile> store = StoreFor(path);
  if (!store) return nullptr;
  Loaded loaded = store->Load();
  if (loaded.kind == Loaded::Kind::Unavailable) return nullptr;
  bool missing = loaded.kind == Loaded::Kind::Missing;
  auto key = std::make_unique<FileKey>(
      store, std::make_shared<const Document>(std::move(loaded.document)), std::string(), true,
      missing);
  // The key exists as soon as it is created, as in the registry.
  if (missing && !key->Close()) return nullptr;
  if (missing) {
    return std::make_unique<FileKey>(store, std::make_shared<const Document>(Document{}),
                                     std::string(), true, false);
  }
  return key;
}

}  // namespace zirvo::platform
