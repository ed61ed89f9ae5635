#pragma once
// The signals by which the session, a service manager or a terminal ask a
// program to end: SIGTERM, SIGHUP and SIGINT.

namespace ruv::process {

// From this call on, each of the three signals ends the process as
// fs::EndProcessNow does, whatever its threads are doing: the atomic writes in
// progress are abandoned, buffered output is flushed and the exit code is 0.
//
// The signals are blocked in the calling thread, and so in every thread made
// after it, and are taken by one thread of its own that waits for them. Call it
// first thing in the process, before any thread exists: a thread made earlier
// keeps them unblocked, and a signal that lands there ends the process by the
// signal's default action. A signal that is ignored at the call (nohup ignores
// SIGHUP) stays ignored.
//
// False when no thread could be made for the wait: the signals are unblocked
// again then and end the process by their default action, as without this call.
bool EndOnTerminationSignals();

}  // namespace ruv::process
