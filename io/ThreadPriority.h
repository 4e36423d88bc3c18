#pragma once
// Threads that work behind a window (scanning parts, writing to disk) run
// below the window's thread, so that the window, and the X server it waits
// for, get a core as soon as they need one. With every core busy
// scanning, the window's thread otherwise waited up to 30 ms for a core
// after each wake-up, and events ran late.

// Lowers the calling thread's priority for good (a thread cannot raise it
// again without privileges). Harmless when called again.
void RunBehindTheWindow();
