#pragma once
// File-system services. Configured paths use backslashes as directory separators
// on every platform; NativePath turns them into this system's separators.

#include <cstdint>
#include <string>
#include <string_view>

namespace ruv::fs {

// A configured path ("lib\\sub\\a.dll") as a path of this system ("lib/sub/a.dll").
std::string NativePath(std::string_view configured);

// Whether a regular file exists at the path (links followed).
bool FileExists(std::string_view path);
// Whether a directory exists at the path (links followed).
bool DirectoryExists(std::string_view path);

// Writes data to path through a temporary file in the same directory and a
// rename over the target, so the target is either its old content or the whole
// new one. The file gets mode 0644, or 0755 when executable is true (less the
// umask). Raises EInOutError with the system's reason when any step fails;
// the temporary file is removed then.
void WriteFileAtomically(std::string_view path, std::string_view data, bool executable = false);

// The same write for content that arrives piece by piece (a file coming from the
// network): the pieces go to the temporary file as they come, so the content is
// never held whole in memory, and Commit puts the temporary in the target's place
// once it is complete. Until then the target keeps its old content. A writer that
// goes without Commit, or whose Write or Commit failed, removes its temporary.
//
// The temporary is an unnamed file in the target's directory. A new file is
// linked straight to the target's name, so no other name exists at any moment;
// an unnamed file that replaces a target gets a name of its own only for the
// moment of its rename over it. Where the file system has no unnamed files, the
// temporary is named beside the target from the start. Such a name is
// ".<name>.ruv<place>-<pid>-<start>-XXXXXX", marking the machine, its boot and the
// process that made it: every writer removes, from the directory it writes into,
// the names of writers that no longer run (killed in the middle of a write), and
// the process's own ends (AbandonWritesInProgress) remove its names at once.
class AtomicFileWriter {
 public:
  // Creates the temporary file beside path; raises EInOutError when it cannot.
  explicit AtomicFileWriter(std::string_view path, bool executable = false);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Appends the bytes; raises EInOutError (the temporary is removed then).
  void Write(std::string_view data);
  // Flushes the file to the disk and renames it over the target; raises EInOutError.
  void Commit();

 private:
  void Fail(const char* what, int err);
  void RemoveTemporary();

  std::string target_;
  std::string temporary_;  // the named temporary; empty for an unnamed one
  int fd_ = -1;
  std::uint64_t written_ = 0;
  std::uint64_t sentToDisk_ = 0;
};

// Tests of the named temporaries: true makes every writer created afterwards use
// one, as on a file system without unnamed files. The program never calls it.
void UseNamedTemporariesForTesting(bool named);

// For a process that ends at once, in the middle of whatever it is doing: removes
// the named temporary files of the atomic writes still in progress, and keeps every
// write from naming or renaming anything afterwards (such writes block). Call it
// only right before the process ends.
void AbandonWritesInProgress();
// Ends the process at once with exit code 0, from any thread, in the middle of
// whatever it is doing: the writes in progress are abandoned as above, and neither
// exit handlers nor destructors of static objects run, because threads that are not
// waited for may still be using those objects. It never waits on output: buffered
// output of standard output and error is flushed where that cannot block and
// dropped where it could (a pipe that nobody reads), and a stream that another
// thread holds (stuck in a write to such a pipe) is left as it is.
[[noreturn]] void EndProcessNow();

// Whether a regular file exists at the path that this process may run.
bool IsExecutableFile(std::string_view path);
// Gives a regular file the execute permission (the owner's, and the group's and
// others' where they may read it and the umask allows). True when the process may
// run it afterwards.
bool MakeExecutable(std::string_view path);

// Reads a whole file; raises EInOutError when it cannot be read.
std::string ReadFile(std::string_view path);

}  // namespace ruv::fs
