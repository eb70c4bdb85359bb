// SIGTERM and SIGINT end the Linux saver through its event loop: the handler only writes to a
// pipe, whose reading end the loop waits on beside its connection.
#pragma once

// Makes the pipe and installs the handlers; a write to a peer that went away comes back as an
// error rather than SIGPIPE. False when the pipe cannot be made (nothing is installed then).
bool InstallTerminationSignals();
// The pipe's reading end, to wait on for POLLIN; -1 before the installation.
int TerminationSignalFd();
// True when a signal came since the last call; empties the pipe.
bool SignalArrived();
// The default handling back, the pipe closed.
void RemoveTerminationSignals();
