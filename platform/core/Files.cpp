#include "ruv/platform/Files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

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
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) RaiseIo("Cannot create a temporary file beside", target, errno);
  auto fail = [&](const char* what) {
    const int err = errno;
    ::close(fd);
    ::unlink(tmp.c_str());
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
    ::unlink(tmp.c_str());
    RaiseIo("Cannot write", target, err);
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    RaiseIo("Cannot replace", target, err);
  }
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
