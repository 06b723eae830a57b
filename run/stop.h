// Ctrl-C, kill and a closed terminal (SIGINT, SIGTERM, SIGHUP) asking a
// command to stop: the handler only notes the signal, and the command ends
// its work at the next step with its files whole and its temporary folders
// gone. A second signal ends the program at once.
//
//   run::InstallStopHandler();
//   while (work && !run::StopSignal()) Step();
//   if (int sig = run::StopSignal()) return 128 + sig;
#pragma once

namespace tralvik::run {

// Installs the handler (also where a script started the command with
// SIGINT ignored, as a background job).
void InstallStopHandler();

// The signal that asked to stop; 0 when none has.
int StopSignal();

// Forgets the signal: a process that goes on after a stopped run (the Python
// module, whose caller gets KeyboardInterrupt) starts its next run afresh.
void ResetStopSignal();

} // namespace tralvik::run
