// The paint group: "Paint this view" and the round trip with the paint program, over the
// view file or the link's tiles, driven one event at a time by the window's event loop.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "link/tile_transfer.h"
#include "panorama/document_questions.h"
#include "panorama/geometry.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "platform/temp_file.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "view/render_view.h"
#include "view/view_file.h"
#include "shell/size_dialog_models.h"

bool paintCommandOffered(int id) { return id == cmdPaintView || id == cmdStopWatching; }

namespace {
constexpr int launchWaitMilliseconds = 500;
// How long a view file that cannot be read may stay so before it is reported: a program
// still writing it closes it more than once.
constexpr auto unreadableGrace = std::chrono::milliseconds(1000);

Size recordImageSize(const LinkRecord& r) { return {r.imageWidth, r.imageHeight}; }

bool saneImageSize(Size size) {
    return size.width > 0 && size.height > 0 && linkImageSizeIsSane(size.width, size.height);
}

float rotationStep() {
    std::uint32_t degrees = 45;
    if (!readNumberSetting("shiftAmount", degrees, false, true)) degrees = 45;
    return static_cast<float>(degrees) * degToRad;
}

class HostWait {
public:
    explicit HostWait(PaintHost* host) : host_(host) {
        if (host_ != nullptr) host_->beginWait();
    }
    ~HostWait() {
        if (host_ != nullptr) host_->endWait();
    }
    HostWait(const HostWait&) = delete;
    HostWait& operator=(const HostWait&) = delete;

private:
    PaintHost* host_;
};
}  // namespace

const char* Shell::openLink() { return PaintLink::openAsApplication(link_); }

void Shell::setTempView(const std::string& path, FileTime time) {
    tempViewPath_ = path;
    tempViewStamp_ = stampOf(path);
    tempViewStamp_.time = time;
}

namespace {
// The link's report of a view's horizontal field of view.
std::uint16_t fieldOfViewHundredths(const Camera& camera) {
    const double hundredths = std::round(static_cast<double>(camera.fov[0]) * radToDeg * 100.0);
    return hundredths > 0 && hundredths < 65536 ? static_cast<std::uint16_t>(hundredths) : 0;
}
}  // namespace

Camera Shell::cameraFor(Size size) const {
    Camera camera = camera_;
    camera.size = size;
    if (panorama_) camera.fov = fieldOfViewAt(*panorama_, camera_.fov, size);
    return camera;
}

void Shell::setWindowState(WindowState state) {
    windowState_ = state;
    if (host_ != nullptr) host_->setWindowState(state);
}

void Shell::setPaintState(PaintState state) {
    const bool titleChanges = (state == PaintState::handedOff) != (paintState_ == PaintState::handedOff);
    paintState_ = state;
    // Back to the editor: whatever order the events came in, the window is not left hidden.
    if ((state == PaintState::idle || state == PaintState::handedOff) && windowState_ != WindowState::shown)
        setWindowState(WindowState::shown);
    if (titleChanges) notifyTitle();
    notifyCommands();
}

bool Shell::hasPeer() const { return link_ && link_->record().pluginProcessId != 0; }

bool Shell::pluginHasLinkOpen() const { return link_ && link_->pluginIsOpen(); }

Shell::FileStamp Shell::stampOf(const std::string& path) {
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) return {};
    return {modificationTime(path.c_str()), static_cast<std::int64_t>(status.st_size)};
}

// --- "Paint this view"

void Shell::paintThisView() {
    if (!panorama_ || !link_ || host_ == nullptr) return;
    if (paintState_ == PaintState::sendingView || paintState_ == PaintState::receiving) return;
    // A new view ends the watch on the last one: its file is about to go.
    endViewFileRound();
    if (pluginHasLinkOpen()) {
        const Size size = recordImageSize(link_->record());
        if (!saneImageSize(size)) return;
        startSendingView(size);
        setWindowState(WindowState::hidden);
        return;
    }

    Size size;
    if (!host_->chooseViewSize(panorama_->faces[0]->size(), host_->viewAreaSize(), camera_.fov[0], size)) return;
    const Camera camera = cameraFor(size);
    {
        HostWait wait(host_);
        render(*panorama_, camera, panorama_->view);
    }
    if (!tempViewPath_.empty()) {
        if (::unlink(tempViewPath_.c_str()) != 0) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error deleting temporary file \"%.260s\"", tempViewPath_.c_str());
            reportSystemError(text);
        }
        tempViewPath_.clear();
        tempViewStamp_ = {};
    }
    std::string path = makeTempViewPath();
    if (path.empty()) {
        reportSystemError("Error creating temporary file");
        return;
    }
    try {
        writeViewFile(panorama_->view, path.c_str());
    } catch (const ioException& e) {
        ::unlink(path.c_str());
        reportIoException(e);
        return;
    }
    tempViewPath_ = path;
    viewFileCamera_ = camera;
    tempViewStamp_ = stampOf(path);
    viewFileSaved_ = false;
    link_->setViewAngles(camera.heading, camera.pitch);
    link_->setImageSize(size.width, size.height);
    link_->record().fieldOfView = fieldOfViewHundredths(camera);
    // Watched before the program starts: a program that saves at once must not slip
    // between its start and the watch.
    viewFileWatch_.watch(tempViewPath_);
    if (!launchPaintProgram(tempViewPath_)) {
        viewFileWatch_.stop();
        return;
    }
    if (hasPeer()) {
        setWindowState(WindowState::hidden);
        setPaintState(PaintState::waitingForProgram);
    } else {
        // Ended within the launch wait: what it saved is taken now.
        paintProgramEnded();
    }
}

bool Shell::launchPaintProgram(const std::string& path) {
    std::string program;
    if (!readStringSetting("PaintApp", program, true, true)) {
        if (host_ != nullptr) host_->choosePaintProgram();
        return false;
    }
    ChildProcess child;
    if (!child.start(program, path)) {
        // The command line as the user would type it.
        char text[1024];
        std::snprintf(text, sizeof text, "Error starting paint program: \"%.400s\" %.400s", program.c_str(), path.c_str());
        reportSystemError(text);
        return false;
    }
    // A paint program that hands the file to a copy of itself already running ends at
    // once; one that stays is the process whose end brings the window back.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(launchWaitMilliseconds);
    bool running = true;
    while ((running = child.running()) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (running && link_) link_->setPeerProcessId(static_cast<std::uint32_t>(child.pid()));
    if (running) children_.push_back(std::move(child));
    return true;
}

void Shell::reapChildren() {
    std::erase_if(children_, [](ChildProcess& child) { return !child.running(); });
}

bool Shell::stopWatchingViewFile() {
    if (paintState_ != PaintState::handedOff) return false;
    endViewFileRound();
    return true;
}

// The watch on the view file ends; a handed-off round is over.
void Shell::endViewFileRound() {
    viewFileWatch_.stop();
    unreadable_ = {};
    if (paintState_ == PaintState::handedOff || paintState_ == PaintState::waitingForProgram)
        setPaintState(PaintState::idle);
}

// --- New panoramas for a plug-in's commands

bool Shell::replacePanorama(int kind) {
    if (host_ == nullptr || !link_) return false;
    if (panorama_ && panorama_->querySaveChanges(host_->questions()) != 0) return false;
    std::unique_ptr<PaintedSixImage> next;
    const LinkRecord& r = link_->record();
    switch (kind) {
    case LinkCommand::newFromDialog: next = host_->newPanorama(); break;
    case LinkCommand::newFromTemplate: {
        char name[LinkRecord::templatePathSize + 1] = {};
        std::memcpy(name, r.templatePath, LinkRecord::templatePathSize);
        next = openTemplate(host_->questions(), name);
        break;
    }
    case LinkCommand::newEmpty:
        if (r.newFaceSize > 0 && r.newFaceSize <= maxLinkImageSide && facesFitPixelBudget({r.newFaceSize, r.newFaceSize}))
            next = std::make_unique<PaintedSixImage>(Size{r.newFaceSize, r.newFaceSize}, Size{r.newFaceSize, r.newFaceSize});
        break;
    default: break;
    }
    if (!next) return false;
    // The window keeps the field of view it showed: its view area is sized for that field
    // of view at the new faces' resolution.
    FieldOfView fov{};
    if (panorama_) fov = fieldOfViewAt(*panorama_, camera_.fov, host_->viewAreaSize());
    if (fov[0] == 0) fov[0] = 90 * degToRad;
    if (fov[1] == 0) fov[1] = 75 * degToRad;
    replacePanorama(std::move(next), kind == LinkCommand::newFromTemplate ? "Open Template" : "New Panorama");
    if (!hasPeer()) host_->sizeForView(nominalSize(*panorama_, fov));
    return true;
}

// --- The main loop's steps

int Shell::bellDescriptor() const { return link_ ? link_->bellDescriptor() : -1; }

int Shell::peerDescriptor() { return link_ ? link_->peerDescriptor() : -1; }

int Shell::watchDescriptor() const { return viewFileWatch_.descriptor(); }

bool Shell::peerNeedsPolling() {
    return link_ && link_->record().pluginProcessId != 0 && link_->peerDescriptor() < 0;
}

void Shell::dialogOpened() { ++dialogDepth_; }

void Shell::dialogClosed() {
    if (dialogDepth_ > 0) --dialogDepth_;
    if (dialogDepth_ == 0 && stepDepth_ == 0 && stepPending_) loopSourceReady();
}

void Shell::loopSourceReady() {
    if (stepDepth_ > 0 || dialogDepth_ > 0) {
        stepPending_ = true;
        return;
    }
    ++stepDepth_;
    do {
        stepPending_ = false;
        step();
    } while (stepPending_ && dialogDepth_ == 0);
    --stepDepth_;
}

void Shell::step() {
    reapChildren();
    if (!panorama_) return;
    takeViewFileSaves();
    if (!link_) return;
    if (paintState_ == PaintState::sendingView)
        sendStep();
    else
        receiveStep();
}

void Shell::receiveStep() {
    // A plug-in that closed its end (pluginProcessId and command both 0) and then ended was
    // done with the link: its end is not the loss of a peer, so nothing is re-read or shown.
    // A cancel it left behind is still read below.
    const LinkRecord& shared = link_->record();
    if (shared.pluginProcessId == 0 && shared.command == LinkCommand::idle) link_->releaseEndedPlugin();
    if (!link_->tryToRead()) {
        abandoned(link_->abandonedWith());
        return;
    }
    const LinkRecord& r = link_->received();
    const bool first = ::isFirstTile(r.tileRect);
    const bool last = ::isLastTile(r.imageWidth, r.imageHeight, r.tileRect);
    if (first && paintState_ == PaintState::receiving) dropPartialPicture();
    if (first) firstTileArrived(r);
    if (first && r.hasImage != 0 && !last) {
        stateAfterReceiving_ = paintState_;
        paintState_ = PaintState::receiving;
        modifiedBeforePicture_ = panorama_->modified;
    }
    if (r.hasImage != 0) {
        const TileRect& t = r.tileRect;
        const Size tile{t.right - t.left, t.bottom - t.top};
        if (tile.width > 0 && tile.height > 0 &&
            panorama_->view.acceptRect(Point{t.left, t.top}, tile, 3, r.tilePixels) && panorama_->modified == 0) {
            panorama_->modified = 1;
            notifyTitle();
        }
    }
    if (last) {
        if (paintState_ == PaintState::receiving) paintState_ = stateAfterReceiving_;
        lastTileArrived(r);
    }
    link_->doneReading();
}

void Shell::firstTileArrived(const LinkRecord& r) {
    const Size size = recordImageSize(r);
    if (r.hasImage != 0) {
        // A picture shows a view: the window turns to it, and the view it was painted on
        // is the one its pixels are compared with.
        camera_.heading = r.heading;
        camera_.pitch = clampPitch(r.pitch);
        notifyTitle();
        ViewBuffer& view = panorama_->view;
        const bool sameView = !view.empty() && view.camera().heading == r.heading && view.camera().pitch == r.pitch &&
                              view.size() == size;
        if (sameView) {
            // A transfer's excluded pixels hold mask 0 and would never be accepted again; a
            // new picture of the same view starts from an open mask.
            view.openMask();
        } else {
            HostWait wait(host_);
            // At the window's field of view: the one the plug-in was sent, or nominal.
            Camera camera = cameraFor(size);
            camera.heading = r.heading;
            camera.pitch = r.pitch;
            render(*panorama_, camera, view);
        }
    }
    const std::int32_t c = r.command;
    if (c == LinkCommand::newFromDialog || c == LinkCommand::newFromTemplate || c == LinkCommand::newEmpty) {
        // The picture is painted onto the new panorama as seen straight ahead, where the
        // window now looks.
        if (replacePanorama(c) && r.hasImage != 0) {
            HostWait wait(host_);
            render(*panorama_, cameraFor(size), panorama_->view);
        }
    }
    if (r.hasImage != 0) {
        if (r.maskMode == 1) panorama_->view.maskFirstRow();
        if (r.maskMode == 2) panorama_->view.maskCorners();
    }
}

void Shell::lastTileArrived(const LinkRecord& r) {
    if (r.hasImage != 0) applyPendingPaint();
    // The view file as it is now counts as taken: a version saved before this transfer is
    // not applied over what the plug-in sent.
    tempViewStamp_ = stampOf(tempViewPath_);
    switch (r.command) {
    case LinkCommand::newFromDialog:
    case LinkCommand::newFromTemplate:
    case LinkCommand::newEmpty:
    case LinkCommand::applyAndShow:
        setWindowState(WindowState::shown);
        afterTransfer();
        notifyView();
        break;
    case LinkCommand::rotate: {
        const float s = rotationStep();
        camera_.heading += s * r.stepX;
        camera_.pitch = clampPitch(camera_.pitch + s * r.stepY);
        notifyTitle();
        startSendingView(recordImageSize(r));
        // The plug-in now waits for the first tile and rings no bell before it: the
        // sender's first step cannot wait for a loop source.
        stepPending_ = true;
        break;
    }
    default:
        afterTransfer();
        notifyView();
        break;
    }
}

// Where a finished transfer leaves the round trip: a paint program started on the view
// file is still awaited; while the window is hidden, the paint program a plug-in works in
// has the view (its plug-in may have closed its end already; the end of the program it
// named brings the window back); otherwise the editor is idle.
void Shell::afterTransfer() {
    if (paintState_ == PaintState::waitingForProgram || paintState_ == PaintState::handedOff) return;
    setPaintState(windowState_ == WindowState::hidden ? PaintState::pluginAttached : PaintState::idle);
}

void Shell::startSendingView(Size size) {
    // The view file no longer shows the view being painted.
    endViewFileRound();
    const Camera camera = cameraFor(size);
    {
        HostWait wait(host_);
        render(*panorama_, camera, panorama_->view);
    }
    const ViewBuffer& view = panorama_->view;
    link_->record().fieldOfView = fieldOfViewHundredths(camera);
    sender_ = std::make_unique<TileSender>(*link_, camera.heading, camera.pitch,
                                           pictureSource(view.pixels(), view.stride(), 4));
    setPaintState(PaintState::sendingView);
}

void Shell::sendStep() {
    const TransferStatus status = sender_->step();
    switch (status) {
    case TransferStatus::progressed: return;
    case TransferStatus::waiting: return;
    case TransferStatus::done:
        sender_.reset();
        paintState_ = PaintState::idle;
        afterTransfer();
        return;
    case TransferStatus::cancelled:
        sender_.reset();
        paintState_ = PaintState::idle;
        abandoned(LinkCommand::cancelled);
        return;
    case TransferStatus::peerGone:
        sender_.reset();
        paintState_ = PaintState::idle;
        abandoned(LinkCommand::peerEnded);
        return;
    }
}

// The tiles of a picture that never ended were taken into the view buffer but are no
// paint: neither the next projection (a save, the next picture) nor the comparison with
// the next picture of this view may see them.
void Shell::dropPartialPicture() {
    paintState_ = stateAfterReceiving_;
    ViewBuffer& view = panorama_->view;
    view.clearPaintPending();
    if (!view.empty()) {
        HostWait wait(host_);
        const Camera camera = view.camera();
        render(*panorama_, camera, view);
    }
    if (panorama_->modified != modifiedBeforePicture_) {
        panorama_->modified = modifiedBeforePicture_;
        notifyTitle();
    }
}

void Shell::abandoned(std::int32_t command) {
    if (paintState_ == PaintState::receiving && (command == LinkCommand::peerEnded || command == LinkCommand::cancelled))
        dropPartialPicture();
    if (command == LinkCommand::peerEnded) {
        peerEnded();
    } else if (command == LinkCommand::cancelled) {
        if (hasPeer()) setWindowState(WindowState::hidden);
        link_->record().command = LinkCommand::idle;
        afterTransfer();
    }
}

void Shell::peerEnded() {
    link_->record().command = LinkCommand::idle;
    if (paintState_ == PaintState::waitingForProgram) {
        paintProgramEnded();
    } else {
        // The paint program the view went to is gone: the editor is where the user works.
        setWindowState(WindowState::shown);
        setPaintState(paintState_ == PaintState::handedOff ? PaintState::handedOff : PaintState::idle);
    }
    notifyView();
}

// The paint program started on the view file has ended (or handed the file on): the file
// is read once more if it changed, and the window comes back. A program that never saved
// may have handed the file to a copy of itself: the watch stays until the user ends it.
void Shell::paintProgramEnded() {
    takeViewFileSaves();
    applyViewFileIfChanged();
    recheckUnreadableViewFile(true);
    if (viewFileSaved_) {
        viewFileWatch_.stop();
        setPaintState(PaintState::idle);
    } else {
        setPaintState(PaintState::handedOff);
    }
    notifyView();
}

void Shell::takeViewFileSaves() {
    recheckUnreadableViewFile(false);
    if (!viewFileWatch_) return;
    const FileWatch::Change change = viewFileWatch_.take();
    if (change == FileWatch::Change::none) return;
    // Redrawn, but a hidden window stays hidden: the paint program is still in use.
    if (applyViewFileIfChanged()) notifyView();
    if (change == FileWatch::Change::gone && paintState_ == PaintState::handedOff) setPaintState(PaintState::idle);
}

// A view file that could not be read and has not changed since is reported with its reason
// once the grace time is over or the program has ended; the window comes back to show it.
void Shell::recheckUnreadableViewFile(bool programEnded) {
    if (!unreadable_.pending) return;
    if (!programEnded && std::chrono::steady_clock::now() - unreadable_.seen < unreadableGrace) return;
    if (stampOf(tempViewPath_) != unreadable_.stamp) {
        // Written again since: that version is read as a save of its own.
        unreadable_ = {};
        if (applyViewFileIfChanged()) notifyView();
        if (!unreadable_.pending || !programEnded) return;
    }
    const std::string text = unreadable_.message;
    unreadable_ = {};
    if (windowState_ != WindowState::shown) setWindowState(WindowState::shown);
    showMessage(text);
}

// Reads the view file when it is not the version last written or taken, and projects
// what was painted on it. A file that cannot be read waits for its grace time
// (recheckUnreadableViewFile). True when paint was projected.
bool Shell::applyViewFileIfChanged() {
    if (tempViewPath_.empty()) return false;
    const FileStamp stamp = stampOf(tempViewPath_);
    if (stamp.size < 0 || stamp == tempViewStamp_) return false;
    tempViewStamp_ = stamp;
    std::unique_ptr<RawImage> picture;
    try {
        picture = readPaintedFile(tempViewPath_.c_str());
    } catch (const ioException& e) {
        std::string text = "The painted view could not be read from \"" + e.path + "\"";
        if (e.reason != nullptr && *e.reason != '\0') text += std::string(": ") + e.reason;
        text += ".\n\nNothing was painted. Save the picture again in the paint program to try once more.";
        unreadable_ = {true, stamp, std::chrono::steady_clock::now(), text};
        return false;
    }
    // A picture that does not fit the view it was written for would smear or misplace paint.
    if (const std::string mismatch = paintedViewMismatch(*picture, viewFileCamera_); !mismatch.empty()) {
        const std::string text = mismatch + " Nothing was painted.\n\nSave the picture again in the paint program, at the view's size, "
                                 "over \"" + tempViewPath_ + "\", to try once more.";
        unreadable_ = {true, stamp, std::chrono::steady_clock::now(), text};
        return false;
    }
    unreadable_ = {};
    viewFileSaved_ = true;
    ViewBuffer& view = panorama_->view;
    {
        HostWait wait(host_);
        // The view buffer may show another view by now (a plug-in's picture, a resize): the
        // file is compared with the view it was written with, rendered from the faces as
        // they are.
        if (view.empty() || view.camera() != viewFileCamera_) {
            render(*panorama_, viewFileCamera_, view);
        } else {
            // Compared with the view as last painted: each save projects only what changed since.
            view.openMask();
        }
        // The corners carry the view marker written with the picture.
        view.maskCorners();
        if (!view.acceptPicture(*picture)) return false;
        applyPendingPaint();
    }
    return true;
}
