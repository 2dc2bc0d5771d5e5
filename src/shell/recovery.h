#pragma once
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "view/camera.h"
#include "view/painted_six_image.h"

// A panorama with unsaved changes written when the session ended under it (a logout, a
// shutdown, a fatal error), to be offered at the next start. Each set is a folder of
// $XDG_STATE_HOME/domecast/recovery holding the faces as face0.png ... face5.png and a
// description, "panorama.txt", written last: a folder without it is no set.
struct RecoverySet {
    std::string folder;
    std::time_t written = 0;     // when the set was written
    std::string fileName;        // the panorama's file; empty when it had none
    int layout = -1;             // the save row it was written in
    std::string title;
    float heading = 0;           // the window's camera then
    float pitch = 0;
};

// $XDG_STATE_HOME/domecast/recovery (default ~/.local/state/...); empty without a home.
std::string recoveryFolder();

// Writes the set of panorama seen with camera into a new folder of recoveryFolder();
// the folder, or empty (and nothing left behind) when it could not be written.
std::string writeRecovery(const SixImage& panorama, const Camera& camera);

// The complete sets, newest first.
std::vector<RecoverySet> findRecoverySets();

// The set's panorama, named and laid out as it was, modified; throws ioException when its
// faces cannot be read.
std::unique_ptr<PaintedSixImage> loadRecovery(const RecoverySet& set);

// Removes the set's folder.
void discardRecovery(const RecoverySet& set);

// "Recover the unsaved panorama from <time>?", the time local and to the second.
std::string recoveryQuestion(const RecoverySet& set);
