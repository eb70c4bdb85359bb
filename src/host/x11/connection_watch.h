// A lost X connection must end the saver even when the OpenGL driver is the one that met it:
// Mesa's software path can spin for ever inside a buffer swap on a connection that went away,
// so the main thread alone cannot be relied on to notice.
#pragma once

// Watches the connection's socket from a thread of its own, which touches nothing of Xlib.
// When the server hangs up and the process is still there a second later, it calls onLost
// (which must end the process). False when the thread cannot be started.
bool StartConnectionWatch(int connectionFd, void (*onLost)());
// Ends the watch before the connection is closed; nothing when none runs.
void StopConnectionWatch();
