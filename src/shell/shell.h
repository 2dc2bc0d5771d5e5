#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "platform/child_process.h"
#include "platform/file_time.h"
#include "platform/file_watch.h"
#include "shell/paint_host.h"
#include "shell/undo_history.h"
#include "view/camera.h"
#include "view/painted_six_image.h"

class DocumentQuestions;

// What the window showing the shell hears from it.
class ShellListener {
public:
    virtual ~ShellListener() = default;
    // The title text changed (Shell::title).
    virtual void titleChanged() = 0;
    // Commands may have become enabled or grey (Shell::commandEnabled).
    virtual void commandsChanged() = 0;
    // The view must be drawn again: other angles or another panorama.
    virtual void viewChanged() = 0;
};

// The editor's state while it runs, and its commands, without a window: the current
// panorama, the view shown, the link to the paint program and the temporary view file.
// Each command group is carried out in a file of its own (document_commands.cpp,
// view_commands.cpp, paint_commands.cpp, ...).
class Shell {
public:
    explicit Shell(ShellListener* listener = nullptr);
    // Closes the link, so that its shared objects are gone when the editor ends.
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    void setListener(ShellListener* listener) { listener_ = listener; }

    // Never null once start-up has chosen a panorama.
    PaintedSixImage* panorama() const { return panorama_.get(); }
    // The window's camera, the one owner of the view's angles: heading (radians, positive
    // turns left, unbounded) and pitch (within [-pi/2, pi/2]). Its field of view is zero
    // while the view shows the nominal field of view of whatever size it is drawn at; when
    // the user zooms, its horizontal field of view is set and the vertical one stays zero,
    // following each picture's shape. Its size is not used.
    const Camera& camera() const { return camera_; }
    float windowHeading() const { return camera_.heading; }
    float windowPitch() const { return camera_.pitch; }
    // The window's camera for a picture of size: its field of view, else the nominal one.
    Camera cameraFor(Size size) const;

    // "name [h=H° v=V°] - Domecast" for the current panorama and view (UTF-8).
    std::string title() const;
    // Whether the command can be carried out now: offered by this build, and with a
    // panorama when it needs one. Ids that are no command are not enabled.
    bool commandEnabled(int id) const;

    // --- The view (view_commands.cpp)
    // The heading as given, the pitch clamped to +-90 degrees; the title and the view follow.
    void setView(float heading, float pitch);
    void turnBy(float headingStep, float pitchStep);
    // Forward, Left, Right, Back, Up or Down, the zoom commands and Home; false for any
    // other id.
    bool viewCommand(int id);
    // Zooms in (steps > 0) or out by steps wheel notches or key presses, starting from the
    // field of view shown in a view area of viewAreaSize; held within 10 to 120 degrees.
    // Coming back to the nominal field of view ends the zoom.
    void zoomBy(int steps, Size viewAreaSize);
    // Straight ahead at the nominal field of view (Home).
    void home();
    // The horizontal field of view the user zoomed to, whole degrees; 0 when not zoomed.
    int zoomDegrees() const;

    // --- Undo and redo (edit_commands.cpp)
    // Every change to the faces (a projected paint, a new panorama, a resize) is a step;
    // the title's modified mark follows the position among them.
    bool undo();
    bool redo();
    // "Undo Paint", "Redo New Panorama", ...; "Undo" ("Redo") when there is nothing to undo
    // (redo).
    std::string undoLabel() const;
    std::string redoLabel() const;
    const UndoHistory& undoHistory() const { return history_; }

    // --- Documents (document_commands.cpp)
    // Makes next the current panorama with the field of view the old one had, looking
    // straight ahead. With an undo name (New Panorama), the old panorama is kept as that
    // step; without one (Open), the undo history starts afresh.
    void replacePanorama(std::unique_ptr<PaintedSixImage> next, const char* undoName = nullptr);
    // File > Revert: after a yes/no question, reads the panorama's file again; the undo
    // history starts afresh. False when nothing was read.
    bool revertPanorama(DocumentQuestions& questions);
    // Open: the save-changes prompt for the current panorama, then the Open dialog; read
    // failures are reported and leave everything as it was. True when a panorama was opened.
    bool openPanorama(DocumentQuestions& questions);
    // A file handed over by a second start, opened as Open opens the file picked with a
    // type that does not fit it: the layout follows from the name.
    bool openNamedPanorama(DocumentQuestions& questions, const std::string& path);
    // Save, or Save As when saveAs; a failed write is reported and asks for another name
    // until one works or the user cancels.
    void savePanorama(DocumentQuestions& questions, bool saveAs);
    // The save-changes prompt before the panorama is given up; false to keep it.
    bool confirmDiscard(DocumentQuestions& questions);
    // The start-up panorama: the first file named, else the "DefaultFile" setting, else
    // 256-pixel white faces (test runs may fill them, see fillTestFaces). Only a named
    // file that cannot be read is reported; one that can is named as Open names it. The
    // title and the commands follow.
    void startWith(DocumentQuestions& questions, const std::vector<std::string>& files);
    // The exit sequence's part without a window: the save-changes prompt, then the
    // temporary view file removed; false when the user chose to stay.
    bool exitSequence(DocumentQuestions& questions);

    // --- Recovery (recovery_commands.cpp)
    // The session ends under the editor (a logout, a shutdown, a fatal error): a panorama
    // with unsaved changes is written as a recovery set. True when nothing is left unsaved:
    // nothing was modified, or the set was written.
    bool saveForRecovery();
    // The exit without the save prompt, once saveForRecovery has kept the changes: the
    // temporary view file goes.
    void endSessionQuietly();
    // At start-up, the newest recovery set is offered: Recover opens it (modified, with its
    // name and layout), Discard removes it, Later keeps it for the next start. True when
    // it was recovered.
    bool offerRecovery();

    // --- Dialogs (dialog_commands.cpp)
    // Resamples the faces to size (Resize Panorama's OK); the title and the view follow.
    void resizePanorama(Size size, DocumentQuestions& questions);

    // --- The link and the paint round trip (paint_commands.cpp)
    // Where the round trip stands. Every event (the view file saved, the paint program
    // ended, a plug-in's bell, the peer ended, the polling timer, a command) is a step of
    // it; the window is shown again whenever it comes back to idle or handedOff.
    enum class PaintState {
        idle,                // nothing is out with a paint program
        waitingForProgram,   // the paint program started on the view file runs; window hidden
        handedOff,           // that program ended without saving (a launcher): the view file is
                             // still watched, the window shows, the title says so
        pluginAttached,      // a plug-in's paint program has the view; window hidden
        sendingView,         // a view goes to a plug-in, tile by tile
        receiving,           // a picture comes from a plug-in, tile by tile
    };
    PaintState paintState() const { return paintState_; }
    // Opens the link as the application; null on success, else the message to show.
    const char* openLink();
    PaintLink* link() const { return link_.get(); }
    const std::string& tempViewPath() const { return tempViewPath_; }
    // A view file as if written at time, for the exit sequence.
    void setTempView(const std::string& path, FileTime time);
    int sendingView() const { return paintState_ == PaintState::sendingView ? 1 : 0; }
    int quitRequested() const { return quitRequested_; }

    // The window around the round trip; without one, "Paint this view" does nothing.
    void setPaintHost(PaintHost* host) { host_ = host; }
    // "Paint this view": the view streamed to a plug-in that has the link open, else
    // written to a new temporary file that the paint program is started on.
    void paintThisView();
    // Starts "PaintApp" on path; a program still running after half a second becomes
    // the link's peer. False (reported) when it could not be started.
    bool launchPaintProgram(const std::string& path);
    // Esc: stops watching a view file that a program handed on (handedOff); false when
    // there was no such watch.
    bool stopWatchingViewFile();
    // A new panorama for a plug-in's command (15 from the New Panorama dialog, 16 from
    // the record's template, 17 white faces of the record's size), after the save
    // prompt; false when the old one stays.
    bool replacePanorama(int kind);

    // The main loop's sources: the link's bell, the peer's end, the view file's folder.
    // Each is -1 while there is none.
    int bellDescriptor() const;
    int peerDescriptor();
    int watchDescriptor() const;
    // Whether a peer is known whose end no descriptor reports: check it now and then.
    bool peerNeedsPolling();
    // Whether a view file that could not be read waits to be looked at again: the loop
    // then runs a step now and then.
    bool viewFileRecheckPending() const { return unreadable_.pending; }
    // A source became ready (or the polling timer ran): one step of the round trip, or,
    // while a step or a dialog is running, a note that one is due.
    void loopSourceReady();
    // The window's modal dialogs: no step runs while one is open; a step that came due
    // runs once the last one has closed.
    void dialogOpened();
    void dialogClosed();
    bool stepPending() const { return stepPending_; }
    bool dialogOpen() const { return dialogDepth_ > 0; }

private:
    // A version of the view file: its modification time and size.
    struct FileStamp {
        FileTime time = 0;
        std::int64_t size = -1;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };

    // The view shown, as the direction a page saved as a web page opens at.
    void setPageView();
    void notifyTitle();
    void step();
    void receiveStep();
    void sendStep();
    void abandoned(std::int32_t command);
    void peerEnded();
    void paintProgramEnded();
    void firstTileArrived(const LinkRecord& r);
    void dropPartialPicture();
    void lastTileArrived(const LinkRecord& r);
    void startSendingView(Size size);
    bool applyViewFileIfChanged();
    void recheckUnreadableViewFile(bool programEnded);
    void endViewFileRound();
    void reapChildren();
    void takeViewFileSaves();
    void setPaintState(PaintState state);
    void setWindowState(WindowState state);
    void afterTransfer();
    bool pluginHasLinkOpen() const;
    bool hasPeer() const;
    static FileStamp stampOf(const std::string& path);

    void notifyCommands();
    void notifyView();
    void removeTempView();
    // Projects the view's pending paint as an undo step.
    void applyPendingPaint();
    void recordStep(UndoStep step);
    void exchange(UndoStep& step);
    // The panorama's modified mark as the undo position has it.
    void followSavedState();
    // After a save may have happened: a panorama its file holds is the saved position.
    void noteSaved();

    ShellListener* listener_;
    std::unique_ptr<PaintedSixImage> panorama_;
    std::unique_ptr<PaintLink> link_;
    Camera camera_;
    PaintState paintState_ = PaintState::idle;
    // What the round trip last asked of the window.
    WindowState windowState_ = WindowState::shown;
    int quitRequested_ = 0;
    std::string tempViewPath_;
    // The view file's version last written or applied, and whether a save of the paint
    // program's was applied since the file was handed out.
    FileStamp tempViewStamp_;
    bool viewFileSaved_ = false;
    Camera viewFileCamera_;  // the view the view file was written with
    // A version of the view file that could not be read. Programs write a file in more than
    // one go (truncated first, then filled): it is reported only when it is still the same
    // a moment later, or when the program has ended.
    struct Unreadable {
        bool pending = false;
        FileStamp stamp;
        std::chrono::steady_clock::time_point seen;
        std::string message;
    } unreadable_;
    PaintHost* host_ = nullptr;
    std::unique_ptr<TileSender> sender_;
    // A picture from the peer whose last tile has not come yet, and whether the panorama
    // was modified before its first.
    bool receivingPicture_ = false;
    std::int32_t modifiedBeforePicture_ = 0;
    std::vector<ChildProcess> children_;  // paint programs started, reaped as they end
    int stepDepth_ = 0;
    int dialogDepth_ = 0;
    bool stepPending_ = false;
    FileWatch viewFileWatch_;  // saves of the view file, set up before the program starts
    PaintState stateAfterReceiving_ = PaintState::idle;
    UndoHistory history_;
};
