#pragma once
#include "platform/io_exception.h"

// The process-wide diagnostics switch (command 40019); off at start.
bool runtimeDebugging();
void setRuntimeDebugging(bool on);

// "IO Error opening %s" and the other three wordings, in a message box; the exception's
// own message instead when it has one.
void reportIoException(const ioException& e);

// text (or nothing), a colon and line break, and the system's description of errno.
void reportSystemError(const char* text);

// "File %s, line %d : %s" in a box captioned "Assertion Failed".
void reportAssertion(const char* file, int line, const char* expression);
