#pragma once
#include <memory>
#include <string>
#include <vector>

#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "platform/child_process.h"
#include "platform/file_time.h"
#include "platform/file_watch.h"
#include "shell/paint_host.h"
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
    float windowHeading() const { return windowHeading_; }  // radians, positive turns left, unbounded
    float windowPitch() const { return windowPitch_; }      // radians, within [-pi/2, pi/2]

    // "name [h=H° v=V°] - Domecast" for the current panorama and view (UTF-8).
    std::string title() const;
    // Whether the command can be carried out now: offered by this build, and with a
    // panorama when it needs one. Ids that are no command are not enabled.
    bool commandEnabled(int id) const;

    // --- The view (view_commands.cpp)
    // The heading as given, the pitch clamped to +-90 degrees; the title and the view follow.
    void setView(float heading, float pitch);
    void turnBy(float headingStep, float pitchStep);
    // Forward, Left, Right, Back, Up or Down; false for any other id.
    bool viewCommand(int id);

    // --- Documents (document_commands.cpp)
    // Makes next the current panorama with the field of view the old one had, looking
    // straight ahead.
    void replacePanorama(std::unique_ptr<PaintedSixImage> next);
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

    // --- Dialogs (dialog_commands.cpp)
    // Resamples the faces to size (Resize Panorama's OK); the title and the view follow.
    void resizePanorama(Size size, DocumentQuestions& questions);

    // --- The link and the paint round trip (paint_commands.cpp)
    // Opens the link as the application; null on success, else the message to show.
    const char* openLink();
    PaintLink* link() const { return link_.get(); }
    const std::string& tempViewPath() const { return tempViewPath_; }
    FileTime tempViewTime() const { return tempViewTime_; }
    // The file just written for the paint program and its modification time.
    void setTempView(const std::string& path, FileTime time);
    int sendingView() const { return sendingView_; }
    int quitRequested() const { return quitRequested_; }

    // The window around the round trip; without one, "Paint this view" does nothing.
    void setPaintHost(PaintHost* host) { host_ = host; }
    // "Paint this view": the view streamed to a plug-in that has the link open, else
    // written to a new temporary file that the paint program is started on.
    void paintThisView();
    // Starts "PaintApp" on path; a program still running after half a second becomes
    // the link's peer. False (reported) when it could not be started.
    bool launchPaintProgram(const std::string& path);
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
    // The view shown, as the direction a page saved as a web page opens at.
    void setPageView();
    void notifyTitle();
    void step();
    void receiveStep();
    void sendStep();
    void abandoned(std::int32_t command);
    void peerEnded();
    void firstTileArrived(const LinkRecord& r);
    void dropPartialPicture();
    void lastTileArrived(const LinkRecord& r);
    void startSendingView();
    bool reReadViewFileIfNewer();
    void reapChildren();
    void takeViewFileSaves();
    void setWindowState(WindowState state);
    bool pluginHasLinkOpen() const;
    bool hasPeer() const;

    void notifyCommands();
    void notifyView();

    ShellListener* listener_;
    std::unique_ptr<PaintedSixImage> panorama_;
    std::unique_ptr<PaintLink> link_;
    float windowHeading_ = 0;
    float windowPitch_ = 0;
    int sendingView_ = 0;
    int quitRequested_ = 0;
    std::string tempViewPath_;
    FileTime tempViewTime_ = 0;
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
    FileWatch viewFileWatch_;  // saves of the view file by a program already running
};
