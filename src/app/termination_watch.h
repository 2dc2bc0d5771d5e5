#pragma once
#include <functional>

// Runs onRequest from the event loop when the process is asked to end (SIGTERM, SIGINT, and
// SIGHUP when the session's terminal or the session itself goes).
void watchTermination(std::function<void()> onRequest);
// Restores the default handling and releases the watch.
void unwatchTermination();
