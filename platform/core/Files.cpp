#include "ruv/platform/Files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>

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

// The temporary files of the atomic writes in progress. Creating, renaming and
// removing one happen under the lock, so that a process that ends in the middle
// of a write can remove what the write left behind without racing its rename.
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

// Large files go to the temporary file in stretches of this size. After each
// stretch the disk is asked to start writing it out, so the flush before the
// rename finds most of the file already on its way instead of starting on all of it.
constexpr size_t kStretch = size_t{8} << 20;
// Each write call hands over at most this much. The page cache takes blocks about
// as large as each write: small ones are carved from memory the system already
// uses (pages this write has just handed back among them), while writes of a MiB
// or more ask for large free blocks, which a virtual machine that gives free
// memory back to its host must first get back (a 256 MiB file took some 60 ms
// to write in 128 KiB calls and 250 to 800 ms in 1 and 8 MiB ones).
constexpr size_t kWriteCall = size_t{128} << 10;
// Memory is handed back in whole 2 MiB units, so that a body the system backed
// with huge pages is not split into small pages first.
constexpr uintptr_t kReleaseUnit = uintptr_t{2} << 20;

// Gives the whole release units of [begin, end) back to the system; the bytes
// there read as zeros afterwards. Returns the address up to which it released.
uintptr_t Release(uintptr_t begin, uintptr_t end) {
  const uintptr_t from = (begin + kReleaseUnit - 1) & ~(kReleaseUnit - 1);
  const uintptr_t to = end & ~(kReleaseUnit - 1);
  if (to <= from) return begin;
  // Only a hint to the memory manager: memory that stays is freed with the buffer.
  ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
  return to;
}

void WriteThroughTemporary(std::string_view path, const char* data, size_t size, bool executable, bool release) {
  const std::string target(path);
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tmp = dir + "/." + base + ".XXXXXX";
  PendingWrites& pending = Pending();
  int fd = -1;
  int created = 0;
  {
    const std::lock_guard lock(pending.mutex);
    fd = ::mkstemp(tmp.data());
    created = errno;
    if (fd >= 0) pending.temporaries.insert(tmp);
  }
  if (fd < 0) RaiseIo("Cannot create a temporary file beside", target, created);
  auto removeTemporary = [&] {
    const std::lock_guard lock(pending.mutex);
    ::unlink(tmp.c_str());
    pending.temporaries.erase(tmp);
  };
  auto fail = [&](const char* what) {
    const int err = errno;
    ::close(fd);
    removeTemporary();
    RaiseIo(what, target, err);
  };
  if (::fchmod(fd, (executable ? 0755 : 0644) & ~ProcessUmask()) != 0) fail("Cannot set the mode of");
  uintptr_t released = reinterpret_cast<uintptr_t>(data);
  for (size_t done = 0; done < size;) {
    const size_t stretch = std::min(kStretch, size - done);
    for (size_t written = 0; written < stretch;) {
      const ssize_t n = ::write(fd, data + done + written, std::min(kWriteCall, stretch - written));
      if (n < 0) {
        if (errno == EINTR) continue;
        fail("Cannot write");
      }
      written += static_cast<size_t>(n);
    }
    // Starts the write-out of this stretch without waiting for it; a failure
    // shows in the flush below.
    if (done + stretch < size) {
      ::sync_file_range(fd, static_cast<off_t>(done), static_cast<off_t>(stretch), SYNC_FILE_RANGE_WRITE);
    }
    done += stretch;
    if (release) released = Release(released, reinterpret_cast<uintptr_t>(data) + done);
  }
  if (::fsync(fd) != 0) fail("Cannot write");
  if (::close(fd) != 0) {
    const int err = errno;
    removeTemporary();
    RaiseIo("Cannot write", target, err);
  }
  int renamed = 0;
  int err = 0;
  {
    const std::lock_guard lock(pending.mutex);
    renamed = ::rename(tmp.c_str(), target.c_str());
    err = errno;
    if (renamed != 0) ::unlink(tmp.c_str());
    pending.temporaries.erase(tmp);
  }
  if (renamed != 0) RaiseIo("Cannot replace", target, err);
}

}  // namespace

void WriteFileAtomically(std::string_view path, std::string_view data, bool executable) {
  WriteThroughTemporary(path, data.data(), data.size(), executable, false);
}

void MoveIntoFileAtomically(std::string_view path, std::string data, bool executable) {
  // data is this function's own: what has gone to the file is handed back to the
  // system at once, for the page cache to take, instead of the file being held
  // twice (once here, once there) until the end.
  WriteThroughTemporary(path, data.data(), data.size(), executable, true);
}

void AbandonWritesInProgress() {
  PendingWrites& pending = Pending();
  // Taken for good: no write in progress creates or renames anything after this.
  pending.mutex.lock();
  for (const std::string& tmp : pending.temporaries) ::unlink(tmp.c_str());
  pending.temporaries.clear();
}

void EndProcessNow() {
  // The files first: they stay whole even if flushing blocks on a full pipe.
  AbandonWritesInProgress();
  std::cout.flush();
  std::clog.flush();
  std::fflush(nullptr);
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
