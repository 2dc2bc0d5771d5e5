#pragma once
// A real gimp-console in batch mode, with a profile of its own, for the plug-ins' tests.
#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

// gimp-console -i in a child process: the batch commands (one -b each), then a quit.
// Standard input and output go to /dev/null, standard error into errPath. GIMP always
// exits 0; its failures are on standard error ("execution error").
class GimpRun {
public:
    GimpRun(const std::string& errPath, std::vector<std::string> batches);
    int exitCode();
    std::string err() const;

private:
    std::string errPath_;
    pid_t pid_ = -1;
    int exit_ = -1;
};

// Points GIMP2_DIRECTORY at folder/profile and XDG_CACHE_HOME at folder/cache, makes the
// profile by a first run of GIMP, and copies the named plug-ins of this build into its
// plug-ins folder. Empty when done, else what went wrong.
std::string makeGimpProfile(const TempDir& folder, const std::vector<std::string>& plugins);
