#pragma once

class MainWindow;
class Shell;

// The paint round trip on the toolkit's event loop: the link's bell and the peer's end
// as sources of the loop, the modal dialogs that hold steps back, and the window states
// the round trip asks for. Started once the link is open, stopped before the window goes.
void startPaintLoop(MainWindow& window);
void stopPaintLoop();
// After a command that may have started a transfer or a paint program.
void syncPaintLoop();

// Holds the round trip's steps back while document work (open, save, revert) runs: its
// progress dialog lets the loop's sources fire, and a step would change the faces the
// work is reading. Steps that came meanwhile run when the object goes.
class StepsHeld {
public:
    explicit StepsHeld(Shell& shell);
    ~StepsHeld();
    StepsHeld(const StepsHeld&) = delete;
    StepsHeld& operator=(const StepsHeld&) = delete;

private:
    Shell& shell_;
};
