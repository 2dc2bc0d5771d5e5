#pragma once
#include "options.h"

// Each subcommand: 0 done, 1 a file could not be read or written, 2 wrong command line
// (thrown as UsageError).
int runConvert(const CliOptions& options);
int runRender(const CliOptions& options);
int runView(const CliOptions& options);
int runApply(const CliOptions& options);
int runPaint(const CliOptions& options);
int runImage(const CliOptions& options);
int runFormats(const CliOptions& options);

// Whether progress is worth showing (stderr is a terminal and --quiet was not given).
bool showProgress();
// Starts a step: its text and a bar that the readers and writers fill, on stderr while
// showProgress(); finishProgress ends the bar's line.
void progress(const char* text);
void finishProgress();
