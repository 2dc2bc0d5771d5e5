#pragma once
#include <sys/types.h>

#include <functional>
#include <string>

// Runs body in a forked child and returns what it reported: empty when every check held,
// else its failures. For checks that need a process of their own (another user's
// identity, a private mount); a child that dies or throws reports that instead.
std::string checkInChild(const std::function<std::string()>& body);

// Waits until child stops itself, then kills it with SIGKILL and reaps it. False when the
// child ended without stopping.
bool killWhenStopped(pid_t child);
