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

// Whether progress lines are worth printing (stderr is a terminal).
bool showProgress();
void progress(const char* text);
