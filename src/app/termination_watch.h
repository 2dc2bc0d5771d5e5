#pragma once
#include <functional>

// Runs onRequest from the event loop when the process is asked to end (SIGTERM, SIGINT),
// so that a polite kill goes through the same exit sequence as the Exit command.
void watchTermination(std::function<void()> onRequest);
// Restores the default handling and releases the watch.
void unwatchTermination();
