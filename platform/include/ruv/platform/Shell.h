#pragma once
// Starting programs, documents and links the way the desktop shell does.

#include <string>
#include <string_view>
#include <vector>

namespace ruv::shell {

// How a started program's window should first appear. Kept for the callers'
// sake; programs on this system choose their own window state.
enum class ShowCommand { Hide = 0, ShowNormal = 1, Show = 5 };

// Opens file with the verb "open" (an empty verb means the same):
// - a file that names an executable program is started as a detached process
//   in directory (empty: the current directory) with its arguments split from
//   parameters as a command line; a name with a slash or backslash resolves
//   against directory, a bare name is looked up in directory, then on PATH;
// - any other existing file, and a link ("scheme:..." or "www..."), is handed
//   to the desktop's opener, xdg-open;
// - anything else is not started.
// Never waits for what it started and leaves no zombie behind. True when the
// program or the opener was started; failures raise nothing.
bool ShellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                  std::string_view directory, ShowCommand show);

// Starts file as a program, found as ShellExecute finds it, but never hands it to
// the desktop's opener: false when it is no program this process may run.
bool StartProgram(std::string_view file, std::string_view parameters, std::string_view directory);

// Splits a parameter string into arguments as a program's C run-time does with
// its command line: blanks and tabs separate, double quotes group (a doubled
// quote inside quotes is one literal quote), 2n backslashes before a quote give
// n backslashes and the quote groups, 2n+1 give n backslashes and a literal
// quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

// The full path of the running executable; empty when the system cannot tell.
std::string CurrentExecutablePath();

}  // namespace ruv::shell
