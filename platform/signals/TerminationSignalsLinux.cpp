// The termination signals on Linux: blocked in every thread and taken with
// sigwait on one thread, so that the end runs as ordinary code on that thread
// (fs::EndProcessNow takes a lock and flushes streams, which no signal handler
// may do).
#include "ruv/platform/TerminationSignals.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <thread>

#include "ruv/platform/Files.h"

namespace ruv::process {

bool EndOnTerminationSignals() {
  sigset_t taken;
  sigemptyset(&taken);
  for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
    // A signal that whoever started the process set to be ignored is left so:
    // blocked, it would be queued and taken all the same.
    struct sigaction current {};
    if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&taken, sig);
  }
  ::pthread_sigmask(SIG_BLOCK, &taken, nullptr);
  try {
    std::thread([taken] {
      int sig = 0;
      while (::sigwait(&taken, &sig) != 0) {
      }
      fs::EndProcessNow();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    // No thread could be made (the system's limits are reached): nothing would
    // take the signals, so they are unblocked again and end the process by their
    // default action, without the clean end but not ignored either.
    ::pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
    return false;
  }
}

}  // namespace ruv::process
