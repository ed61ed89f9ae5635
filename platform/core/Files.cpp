#include "ruv/platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <utility>

#include "ruv/platform/Exception.h"

namespace ruv::fs {
namespace {

// The process's file-creation mask. umask() can only be read by setting it, and
// setting it is process-wide, so it is read once (before any worker thread writes
// files) and never changed again.
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}
[[maybe_unused]] const mode_t kUmaskAtStart = ProcessUmask();

// The named temporary files of the atomic writes in progress. Creating, naming,
// renaming and removing one happen under the lock, so that a process that ends in
// the middle of a write can remove what the write left behind without racing its
// rename, and no write gives a file a name once the process is ending.
struct PendingWrites {
  std::mutex mutex;
  std::set<std::string> temporaries;
};

PendingWrites& Pending() {
  static auto* pending = new PendingWrites;  // used by workers until the process ends
  return *pending;
}

[[noreturn]] void RaiseIo(std::string_view what, std::string_view path, int err) {
  throw EInOutError(std::string(what) + " \"" + std::string(path) + "\": " + std::strerror(err));
}

}  // namespace

std::string NativePath(std::string_view configured) {
  std::string out(configured);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

bool FileExists(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st {};
  return ::stat(std::string(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// After every stretch of this size the disk is asked to start writing it out, so
// the flush before the rename finds most of the file already on its way instead
// of starting on all of it.
constexpr std::uint64_t kStretch = std::uint64_t{8} << 20;
// Each write call hands over at most this much. The page cache takes blocks about
// as large as each write: small ones are carved from memory the system already
// uses, while writes of a MiB or more ask for large free blocks, which a virtual
// machine that gives free memory back to its host must first get back (a 256 MiB
// file took some 60 ms to write in 128 KiB calls and 250 to 800 ms in 1 and 8 MiB
// ones).
constexpr std::size_t kWriteCall = std::size_t{128} << 10;

}  // namespace

namespace {

std::atomic<bool> g_named_temporaries_for_testing{false};

// The directory and the file name of a path.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The start of a small system file ("" when it cannot be read).
std::string ReadSmall(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[1024];
  ssize_t n;
  do {
    n = ::read(fd, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// Eight hexadecimal digits standing for a text (FNV-1a).
std::string Hex8(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (const char ch : text) hash = (hash ^ static_cast<unsigned char>(ch)) * 16777619u;
  char out[9];
  std::snprintf(out, sizeof out, "%08x", hash);
  return out;
}

// When the process with the id started, in clock ticks after the machine's boot
// (the 22nd field of /proc/<pid>/stat); 0 when there is no such process. With the
// id it names one process of the boot: an id used again belongs to a process that
// started later.
unsigned long long StartTime(long pid) {
  const std::string stat = ReadSmall("/proc/" + std::to_string(pid) + "/stat");
  // The command name in parentheses may hold spaces and parentheses itself.
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  const char* at = stat.c_str() + close + 1;
  for (int field = 3; field < 22 && *at != '\0'; ++field) {
    while (*at == ' ') ++at;
    while (*at != ' ' && *at != '\0') ++at;
  }
  return std::strtoull(at, nullptr, 10);
}

// Where the processes of this system live: the machine, its current boot and the
// process-id namespace, eight hexadecimal digits each; empty where /proc does not
// tell.
const std::string& ThisPlace() {
  static const std::string place = [] {
    std::string machine = ReadSmall("/etc/machine-id");
    if (machine.empty()) {
      char host[256] = {};
      ::gethostname(host, sizeof host - 1);
      machine = host;
    }
    const std::string boot = ReadSmall("/proc/sys/kernel/random/boot_id");
    char ns[128] = {};
    const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
    if (boot.empty() || n <= 0) return std::string();
    return Hex8(machine) + Hex8(boot) + Hex8(std::string_view(ns, static_cast<std::size_t>(n)));
  }();
  return place;
}

// The names of the temporaries with a name end in a mark of the process that made
// them: ".<name>.ruv<place>-<pid>-<start>-<six random letters>", <place> as
// ThisPlace gives it and <start> as StartTime. A later write into the directory
// can so tell the names of a writer that is gone (killed in the middle of its
// write) from those of one still running, here or on another machine that shares
// the directory.
constexpr std::string_view kMark = "ruv";
constexpr std::size_t kPlaceDigits = 24;
constexpr std::size_t kRandomLetters = 6;
constexpr std::size_t kMaxFileName = 255;

// A name for a temporary beside the target; whoever makes the file checks that the
// name is free.
std::string TemporaryName(const std::string& dir, const std::string& base) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
  const long pid = ::getpid();
  std::string place = ThisPlace();
  if (place.empty()) place.assign(kPlaceDigits, '0');
  std::string mark = std::string(kMark) + place + "-" + std::to_string(pid) + "-" + std::to_string(StartTime(pid)) + "-";
  for (std::size_t i = 0; i < kRandomLetters; ++i) mark += kLetters[random() % (sizeof kLetters - 1)];
  // A long target name is cut so that the whole fits in a directory entry; the mark is what counts.
  const std::size_t room = kMaxFileName - 2 - mark.size();
  return dir + "/." + base.substr(0, room) + "." + mark;
}

bool AllOf(std::string_view text, const char* chars) {
  return !text.empty() && text.find_first_not_of(chars) == std::string_view::npos;
}

// Whether the directory entry is a temporary named by a writer that is gone: one
// of this machine's processes that no longer runs (its id is free or used by a
// later process), or any of an earlier boot. The names of a process still running,
// this one included, of a process in another process-id namespace and of another
// machine are kept, and so is every other name.
bool LeftByAGoneWriter(std::string_view name) {
  const std::string& place = ThisPlace();
  if (place.empty() || name.size() < 2 || name[0] != '.') return false;
  const auto dot = name.rfind('.');
  if (dot == 0) return false;
  std::string_view mark = name.substr(dot + 1);
  if (mark.substr(0, kMark.size()) != kMark) return false;
  mark.remove_prefix(kMark.size());
  const std::string_view theirs = mark.substr(0, kPlaceDigits);
  if (theirs.size() != kPlaceDigits || !AllOf(theirs, "0123456789abcdef")) return false;
  mark.remove_prefix(kPlaceDigits);
  // "-<pid>-<start>-<letters>"
  std::string_view parts[3];
  for (std::string_view& part : parts) {
    if (mark.empty() || mark[0] != '-') return false;
    mark.remove_prefix(1);
    part = mark.substr(0, mark.find('-'));
    mark.remove_prefix(part.size());
  }
  if (!mark.empty() || !AllOf(parts[0], "0123456789") || !AllOf(parts[1], "0123456789") ||
      parts[2].size() != kRandomLetters || parts[0].size() > 9 || parts[1].size() > 19)
    return false;
  if (theirs.substr(0, 8) != std::string_view(place).substr(0, 8)) return false;  // another machine's
  if (theirs.substr(8, 8) != std::string_view(place).substr(8, 8)) return true;   // an earlier boot's
  if (theirs.substr(16, 8) != std::string_view(place).substr(16, 8)) return false;  // ids of another namespace
  const long pid = std::strtol(std::string(parts[0]).c_str(), nullptr, 10);
  const unsigned long long start = std::strtoull(std::string(parts[1]).c_str(), nullptr, 10);
  return StartTime(pid) != start;
}

// Removes the temporaries that writers which are gone left in the directory.
// What cannot be read or removed is left; the write goes on all the same.
void RemoveTemporariesOfGoneWriters(const std::string& dir) {
  DIR* entries = ::opendir(dir.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries))
    if (LeftByAGoneWriter(entry->d_name)) ::unlinkat(::dirfd(entries), entry->d_name, 0);
  ::closedir(entries);
}

}  // namespace

void UseNamedTemporariesForTesting(bool named) { g_named_temporaries_for_testing = named; }

AtomicFileWriter::AtomicFileWriter(std::string_view path, bool executable) : target_(path) {
  const auto [dir, base] = SplitPath(target_);
  const mode_t mode = (executable ? 0755 : 0644) & ~ProcessUmask();
  RemoveTemporariesOfGoneWriters(dir);
  if (!g_named_temporaries_for_testing) {
    // An unnamed file in the target's directory: whatever ends the process before
    // Commit, nothing of it is left on the disk.
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      RaiseIo("Cannot create a temporary file beside", target_, errno);
  }
  if (fd_ < 0) {
    // A file system without unnamed files: a named temporary, registered so that a
    // process that ends in the middle of the write can remove it, and marked as
    // this process's so that a later write removes it if the process is killed.
    PendingWrites& pending = Pending();
    std::string tmp;
    int created = 0;
    {
      const std::lock_guard lock(pending.mutex);
      for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = TemporaryName(dir, base);
        fd_ = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        created = errno;
        if (fd_ >= 0 || created != EEXIST) break;
      }
      if (fd_ >= 0) {
        try {
          pending.temporaries.insert(tmp);
        } catch (...) {
          ::close(fd_);
          ::unlink(tmp.c_str());
          throw;
        }
      }
    }
    if (fd_ < 0) RaiseIo("Cannot create a temporary file beside", target_, created);
    temporary_ = std::move(tmp);
  }
  // The mode is set explicitly: a named temporary is made with 0600.
  if (::fchmod(fd_, mode) != 0) Fail("Cannot set the mode of", errno);
}

AtomicFileWriter::~AtomicFileWriter() { RemoveTemporary(); }

void AtomicFileWriter::RemoveTemporary() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (temporary_.empty()) return;
  PendingWrites& pending = Pending();
  const std::lock_guard lock(pending.mutex);
  ::unlink(temporary_.c_str());
  pending.temporaries.erase(temporary_);
  temporary_.clear();
}

void AtomicFileWriter::Fail(const char* what, int err) {
  RemoveTemporary();
  RaiseIo(what, target_, err);
}

void AtomicFileWriter::Write(std::string_view data) {
  if (fd_ < 0) RaiseIo("Cannot write", target_, EBADF);
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), std::min(kWriteCall, data.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot write", errno);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    written_ += static_cast<std::uint64_t>(n);
    // Starts the write-out of the last whole stretch without waiting for it; a
    // failure shows in the flush of Commit.
    if (written_ - sentToDisk_ >= kStretch) {
      ::sync_file_range(fd_, static_cast<off_t>(sentToDisk_), static_cast<off_t>(written_ - sentToDisk_),
                        SYNC_FILE_RANGE_WRITE);
      sentToDisk_ = written_;
    }
  }
}

namespace {

// Gives the unnamed file behind fd the name path; EEXIST when the name is taken.
int LinkUnnamed(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  // Without /proc the file can be linked through its descriptor itself, where the
  // process is allowed to.
  if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0 &&
      ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
    return 0;
  return errno;
}

}  // namespace

void AtomicFileWriter::Commit() {
  if (fd_ < 0) RaiseIo("Cannot write", target_, EBADF);
  if (::fsync(fd_) != 0) Fail("Cannot write", errno);
  int err = 0;
  {
    PendingWrites& pending = Pending();
    // Under the lock, so that a process ending meanwhile sees no name of this file
    // other than the target's: the name and the rename come together, or not at all.
    const std::lock_guard lock(pending.mutex);
    if (temporary_.empty()) {
      // A new file takes the target's name itself: there is no other name at any
      // moment. Where the target exists (or has just been made by someone else),
      // the file gets a marked name of its own and is renamed over it.
      err = LinkUnnamed(fd_, target_);
      if (err == EEXIST) {
        const auto [dir, base] = SplitPath(target_);
        std::string name;
        for (int attempt = 0; attempt < 100; ++attempt) {
          name = TemporaryName(dir, base);
          err = LinkUnnamed(fd_, name);
          if (err != EEXIST) break;
        }
        if (err == 0 && ::rename(name.c_str(), target_.c_str()) != 0) {
          err = errno;
          ::unlink(name.c_str());
        }
      }
    } else {
      if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        err = errno;
        ::unlink(temporary_.c_str());
      }
      pending.temporaries.erase(temporary_);
      temporary_.clear();
    }
  }
  // The data is on the disk already (the flush above): closing can lose nothing.
  ::close(fd_);
  fd_ = -1;
  if (err != 0) RaiseIo("Cannot replace", target_, err);
}

void WriteFileAtomically(std::string_view path, std::string_view data, bool executable) {
  AtomicFileWriter file(path, executable);
  file.Write(data);
  file.Commit();
}

void AbandonWritesInProgress() {
  PendingWrites& pending = Pending();
  // Taken for good: no write in progress creates or renames anything after this.
  pending.mutex.lock();
  for (const std::string& tmp : pending.temporaries) ::unlink(tmp.c_str());
  pending.temporaries.clear();
}

namespace {

// Whether handing bytes (pending in a stream) to the descriptor cannot block: a
// regular file takes them at once, and a pipe, terminal or socket that has room
// for a write (POLLOUT) takes up to PIPE_BUF bytes at once. A descriptor whose
// reader is gone is not written to at all.
bool WriteCannotBlock(int fd, std::size_t bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  pollfd ready{fd, POLLOUT, 0};
  return bytes <= PIPE_BUF && ::poll(&ready, 1, 0) == 1 && ready.revents == POLLOUT;
}

// Hands the stream's buffered bytes to its descriptor where that cannot block, and
// drops them where it could (a pipe that nobody reads). A stream that another
// thread holds for longer than a moment is left as it is: that thread may be stuck
// in a write to a full pipe for good. The stream stays locked afterwards, so that
// nothing more is written to it before the process ends.
void FlushWithoutWaiting(FILE* stream) {
  bool locked = false;
  for (int attempt = 0; attempt < 20 && !(locked = ::ftrylockfile(stream) == 0); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!locked) return;
  const std::size_t pending = ::__fpending(stream);
  if (pending == 0) return;
  if (WriteCannotBlock(::fileno_unlocked(stream), pending)) {
    ::fflush_unlocked(stream);
  } else {
    ::__fpurge(stream);
  }
}

}  // namespace

void EndProcessNow() {
  // The files first: they stay whole whatever happens to the output.
  AbandonWritesInProgress();
  // Standard output and error are the program's only output streams; std::cout and
  // std::clog write straight into them (the program keeps them in step with C's
  // streams), so this flushes theirs as well. Nothing here waits on a reader.
  FlushWithoutWaiting(stdout);
  FlushWithoutWaiting(stderr);
  ::_exit(0);
}

bool IsExecutableFile(std::string_view path) {
  const std::string file(path);
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0;
}

bool MakeExecutable(std::string_view path) {
  const std::string file(path);
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Whoever may read the program may run it, as far as the umask allows; the owner always.
  const mode_t readers = st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  const mode_t execute = (S_IXUSR | ((readers >> 2) & ~ProcessUmask())) & (S_IXUSR | S_IXGRP | S_IXOTH);
  if (::chmod(file.c_str(), st.st_mode | execute) != 0) return false;
  return IsExecutableFile(file);
}

std::string ReadFile(std::string_view path) {
  // Read with the system calls themselves: a stream would hand back an empty or
  // partial text for a directory or a failing read without saying so.
  const std::string file(path);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) RaiseIo("Cannot open", path, errno);
  std::string out;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      RaiseIo("Cannot read", path, err);
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

}  // namespace ruv::fs
