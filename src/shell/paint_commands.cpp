// The paint group: "Paint this view" and the round trip with the paint program, over the
// view file or the link's tiles, driven one step at a time by the window's event loop.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "link/tile_transfer.h"
#include "panorama/document_questions.h"
#include "panorama/geometry.h"
#include "platform/io_exception.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "platform/temp_file.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "shell/size_dialog_models.h"

bool paintCommandOffered(int id) { return id == cmdPaintView; }

namespace {
constexpr int launchWaitMilliseconds = 500;

Size recordImageSize(const LinkRecord& r) { return {r.imageWidth, r.imageHeight}; }

float rotationStep() {
    std::uint32_t degrees = 45;
    if (!readNumberSetting("shiftAmount", degrees, false, true)) degrees = 45;
    return static_cast<float>(degrees) * degToRad;
}

// A transfer's excluded pixels hold alpha 0 in the view buffer and would never be
// accepted again; a new picture of the same view starts from a clean mask.
void restoreViewAlpha(PaintedSixImage& panorama) {
    if (panorama.viewPixels == nullptr) return;
    const std::size_t count = static_cast<std::size_t>(panorama.viewWidth) * static_cast<std::size_t>(panorama.viewHeight);
    std::uint8_t* pixel = panorama.viewPixels.get();
    for (std::size_t i = 0; i < count; ++i, pixel += 4) pixel[3] = 255;
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
    tempViewTime_ = time;
}

void Shell::setWindowState(WindowState state) {
    if (host_ != nullptr) host_->setWindowState(state);
}

bool Shell::hasPeer() const { return link_ && link_->record().pluginProcessId != 0; }

bool Shell::pluginHasLinkOpen() const {
    return link_ && link_->pluginIsOpen();
}

// --- "Paint this view"

void Shell::paintThisView() {
    if (!panorama_ || !link_ || host_ == nullptr || sendingView_ != 0) return;
    panorama_->setHeading(windowHeading_);
    panorama_->setPitch(windowPitch_);
    if (pluginHasLinkOpen()) {
        const LinkRecord& r = link_->record();
        const Size size = recordImageSize(r);
        if (size.width <= 0 || size.height <= 0 || !linkImageSizeIsSane(size.width, size.height)) return;
        {
            HostWait wait(host_);
            panorama_->refreshView(size);
        }
        startSendingView();
        setWindowState(WindowState::hidden);
        return;
    }

    Size size;
    if (!host_->chooseViewSize(panorama_->faces[0]->size(), host_->viewAreaSize(), size)) return;
    {
        HostWait wait(host_);
        panorama_->allocateView(size);
        panorama_->setFOV(panorama_->calculateNominalFOV(size));
        panorama_->refreshView(size);
    }
    if (!tempViewPath_.empty()) {
        if (::unlink(tempViewPath_.c_str()) != 0) {
            char text[1024];
            std::snprintf(text, sizeof text, "Error deleting temporary file \"%.260s\"", tempViewPath_.c_str());
            reportSystemError(text);
        }
        tempViewPath_.clear();
        tempViewTime_ = 0;
    }
    std::string path = makeTempViewPath();
    if (path.empty()) {
        reportSystemError("Error creating temporary file");
        return;
    }
    try {
        panorama_->saveViewFile(path.c_str());
    } catch (const ioException& e) {
        ::unlink(path.c_str());
        reportIoException(e);
        return;
    }
    tempViewPath_ = path;
    tempViewTime_ = modificationTime(path.c_str());
    link_->setViewAngles(panorama_->heading, panorama_->pitch);
    link_->setImageSize(size.width, size.height);
    viewFileWatch_.stop();
    if (launchPaintProgram(tempViewPath_)) {
        viewFileWatch_.watch(tempViewPath_);
        setWindowState(hasPeer() ? WindowState::hidden : WindowState::minimised);
        sendingView_ = 0;
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
    viewFileWatch_.stop();
    FieldOfView fov{0, 0};
    if (panorama_) fov = panorama_->getFOV();
    if (fov[0] == 0) fov[0] = 90 * degToRad;
    if (fov[1] == 0) fov[1] = 75 * degToRad;
    panorama_ = std::move(next);
    const Size size = recordImageSize(r);
    const bool sane = size.width > 0 && size.height > 0 && linkImageSizeIsSane(size.width, size.height);
    if (hasPeer()) {
        if (sane) {
            panorama_->allocateView(size);
            panorama_->setFOV(panorama_->calculateNominalFOV(size));
        }
    } else {
        panorama_->setFOV(fov);
        host_->sizeForView(panorama_->calculateNominalSize(fov));
    }
    if (r.hasImage != 0 && sane) {
        HostWait wait(host_);
        panorama_->refreshView(size);
    }
    windowPitch_ = 0;
    windowHeading_ = 0;
    notifyTitle();
    notifyCommands();
    notifyView();
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
    if (sendingView_ == 0)
        receiveStep();
    else
        sendStep();
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
    if (first && receivingPicture_) dropPartialPicture();
    if (first) firstTileArrived(r);
    if (first && r.hasImage != 0 && !last) {
        receivingPicture_ = true;
        modifiedBeforePicture_ = panorama_->modified;
    }
    if (last) receivingPicture_ = false;
    if (r.hasImage != 0) {
        const TileRect& t = r.tileRect;
        const Size tile{t.right - t.left, t.bottom - t.top};
        if (tile.width > 0 && tile.height > 0) {
            const int wasModified = panorama_->modified;
            panorama_->acceptPaintedRect(Point{t.left, t.top}, tile, recordImageSize(r), 3, r.tilePixels);
            if (wasModified == 0 && panorama_->modified != 0) notifyTitle();
        }
    }
    if (last) lastTileArrived(r);
    link_->doneReading();
}

void Shell::firstTileArrived(const LinkRecord& r) {
    windowHeading_ = r.heading;
    windowPitch_ = clampPitch(r.pitch);
    notifyTitle();
    const Size size = recordImageSize(r);
    if (r.hasImage != 0) {
        const bool sameView = panorama_->heading == r.heading && panorama_->pitch == r.pitch &&
                              panorama_->viewWidth == size.width && panorama_->viewHeight == size.height;
        if (!sameView || panorama_->viewPixels == nullptr) {
            // Another view, or a picture of another size than the one sent: the view
            // the tiles belong to is rendered anew.
            panorama_->setHeading(r.heading);
            panorama_->setPitch(r.pitch);
            HostWait wait(host_);
            if (panorama_->viewWidth == 0) {
                panorama_->allocateView(size);
                panorama_->setFOV(panorama_->calculateNominalFOV(size));
            }
            panorama_->refreshView(size);
        } else {
            restoreViewAlpha(*panorama_);
        }
    }
    const std::int32_t c = r.command;
    if ((c == LinkCommand::newFromDialog || c == LinkCommand::newFromTemplate || c == LinkCommand::newEmpty) &&
        replacePanorama(c)) {
        windowPitch_ = 0;
        windowHeading_ = 0;
        notifyTitle();
        notifyCommands();
    }
    if (r.hasImage != 0) {
        if (r.maskMode == 1) panorama_->maskFirstRow();
        if (r.maskMode == 2) panorama_->maskCorners();
    }
}

void Shell::lastTileArrived(const LinkRecord& r) {
    if (r.hasImage != 0) {
        if (panorama_->fovX == 0) panorama_->setFOV(panorama_->calculateNominalFOV({panorama_->viewWidth, panorama_->viewHeight}));
        panorama_->applyPaint();
    }
    tempViewTime_ = currentTime();
    switch (r.command) {
    case LinkCommand::newFromDialog:
    case LinkCommand::newFromTemplate:
    case LinkCommand::newEmpty:
    case LinkCommand::applyAndShow:
        setWindowState(WindowState::shown);
        notifyView();
        break;
    case LinkCommand::rotate: {
        const float s = rotationStep();
        windowHeading_ += s * r.stepX;
        windowPitch_ = clampPitch(windowPitch_ + s * r.stepY);
        notifyTitle();
        panorama_->setHeading(windowHeading_);
        panorama_->setPitch(windowPitch_);
        const Size size = recordImageSize(r);
        {
            HostWait wait(host_);
            panorama_->refreshView(size);
        }
        startSendingView();
        // The plug-in now waits for the first tile and rings no bell before it: the
        // sender's first step cannot wait for a loop source.
        stepPending_ = true;
        break;
    }
    default: notifyView(); break;
    }
}

void Shell::startSendingView() {
    // The view file no longer shows the view being painted.
    viewFileWatch_.stop();
    PaintedSixImage* panorama = panorama_.get();
    sender_ = std::make_unique<TileSender>(
        *link_, panorama->heading, panorama->pitch, [panorama, this](const TileRect& t, std::uint8_t* pixels) {
            const LinkRecord& r = link_->record();
            panorama->renderView(Point{t.left, t.top}, Size{t.right - t.left, t.bottom - t.top}, recordImageSize(r), 3,
                                 pixels);
        });
    sendingView_ = 1;
}

void Shell::sendStep() {
    const TransferStatus status = sender_->step();
    switch (status) {
    case TransferStatus::progressed: return;
    case TransferStatus::done:
        sender_.reset();
        sendingView_ = 0;
        return;
    case TransferStatus::waiting: return;
    case TransferStatus::cancelled:
        sender_.reset();
        sendingView_ = 0;
        abandoned(LinkCommand::cancelled);
        return;
    case TransferStatus::peerGone:
        sender_.reset();
        sendingView_ = 0;
        abandoned(LinkCommand::peerEnded);
        return;
    }
}

// The tiles of a picture that never ended were taken into the view buffer but are no
// paint: neither the next projection (a save, the next picture) nor the comparison with
// the next picture of this view may see them.
void Shell::dropPartialPicture() {
    receivingPicture_ = false;
    panorama_->paintPending = 0;
    if (panorama_->viewPixels != nullptr) {
        HostWait wait(host_);
        panorama_->refreshView({panorama_->viewWidth, panorama_->viewHeight});
    }
    if (panorama_->modified != modifiedBeforePicture_) {
        panorama_->modified = modifiedBeforePicture_;
        notifyTitle();
    }
}

void Shell::abandoned(std::int32_t command) {
    if (receivingPicture_ && (command == LinkCommand::peerEnded || command == LinkCommand::cancelled))
        dropPartialPicture();
    if (command == LinkCommand::peerEnded) {
        peerEnded();
    } else if (command == LinkCommand::cancelled) {
        if (hasPeer()) setWindowState(WindowState::hidden);
        link_->record().command = LinkCommand::idle;
    }
}

void Shell::peerEnded() {
    reReadViewFileIfNewer();
    link_->record().command = LinkCommand::idle;
    panorama_->setFOV({0, 0});
    setWindowState(WindowState::shown);
    notifyView();
}

void Shell::takeViewFileSaves() {
    if (!viewFileWatch_ || viewFileWatch_.take() != FileWatch::Change::saved) return;
    // Redrawn, but a hidden window stays hidden: the paint program is still in use.
    if (reReadViewFileIfNewer()) notifyView();
}

bool Shell::reReadViewFileIfNewer() {
    if (tempViewPath_.empty()) return false;
    const FileTime time = modificationTime(tempViewPath_.c_str());
    if (time <= tempViewTime_) return false;
    tempViewTime_ = time;
    // The tracked program's end reset the field of view for the next plug-in transfer.
    if (panorama_->fovX == 0 && panorama_->viewWidth > 0)
        panorama_->setFOV(panorama_->calculateNominalFOV({panorama_->viewWidth, panorama_->viewHeight}));
    restoreViewAlpha(*panorama_);
    const int wasModified = panorama_->modified;
    panorama_->acceptPaintedFile(tempViewPath_.c_str());
    if (wasModified != panorama_->modified) notifyTitle();
    return true;
}
