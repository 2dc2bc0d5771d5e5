#include "link/paint_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/debug_print.h"
#include "platform/local_socket.h"

namespace {
const char* const alreadyRunning =
    "Domecast is already running.\n\nOnly one copy of Domecast may run at a time for each "
    "user.\n\nIf you can't find its window, look on your other workspaces;\nif it does not "
    "answer, end it with \"pkill -x domecast\"\nand start Domecast again.";
const char* const cannotCreate =
    "Domecast couldn't create or open shared memory.\n\nTry closing some other applications "
    "and restarting\nboth Domecast and your paint program.";
const char* const appVersionMismatch =
    "Domecast plugin version mismatch.\n\nTry removing, then re-installing Domecast.";
const char* const notRunning =
    "Domecast is not running; command cancelled.\n\nStart Domecast before choosing "
    "this\nplug-in command.";
const char* const pluginVersionMismatch =
    "Domecast plugin version mismatch.\nTry removing, then re-installing Domecast.";

constexpr auto plainWait = std::chrono::milliseconds(100);
// Without a pidfd the peer's end is found by asking kill() at this interval.
constexpr int peerPollMilliseconds = 100;

// The process ids are the fields through which the two ends find each other's door
// bells; they are read and written as atomics so that no ring goes astray.
std::atomic_ref<std::uint32_t> shared(std::uint32_t& field) {
    return std::atomic_ref<std::uint32_t>(field);
}

std::uint32_t ownProcessId() { return static_cast<std::uint32_t>(::getpid()); }

// The refusal text followed by the object and why it was refused, for the user who has
// to find and remove it. Kept until the next refusal.
const char* cannotCreateBecause(const std::string& object, const char* reason) {
    static std::string text;
    text = std::string(cannotCreate) + "\n\n" + object + "\n" + reason;
    return text.c_str();
}

// The shared memory: the record as the plug-ins know it, then the events' flags.
struct LinkMemory {
    LinkRecord record;
    std::uint32_t events[6];
};
static_assert(offsetof(LinkMemory, record) == 0);
static_assert(offsetof(LinkMemory, events) == sizeof(LinkRecord));
static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free);

// What the application says before the memory's descriptor: a plug-in of another layout
// stops here.
std::string linkGreeting() { return "Domecast link " + std::to_string(LinkRecord::currentVersion); }

// How long a plug-in waits for the application's answer on the link's socket; its own
// thread answers at once, so only a stopped application takes this long.
constexpr int handoutPatienceMs = 5000;

// The application's lock file in the socket folder, held (flock) for its life: whoever
// holds it may replace a socket file of the link that nobody answers any more.
UniqueFd takeLock(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return fd;
    int result;
    do result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        fd.reset();
        errno = error;  // EWOULDBLOCK: a running application holds it
    }
    return fd;
}
}  // namespace

PaintLink::PaintLink(LinkSide side)
    : side_(side), received_(std::make_unique<LinkRecord>()), names_(LinkNames::current()) {}

PaintLink::~PaintLink() { close(); }

bool PaintLink::refusedAsRunning(const char* refusal) { return refusal == alreadyRunning; }

const char* PaintLink::openAsApplication(std::unique_ptr<PaintLink>& link) {
    link.reset();
    std::unique_ptr<PaintLink> made(new PaintLink(LinkSide::application));
    const LinkNames& names = made->names_;

    // Only an unsafe runtime folder's fallback leaves no folder: whoever else may write
    // there could take the link's socket or lock first.
    const std::string folder = localSocketFolder();
    if (folder.empty())
        return cannotCreateBecause("/tmp/domecast-" + std::to_string(::getuid()),
                                   "The folder must be yours, with mode 0700 (drwx------).");
    const std::string lockPath = localSocketPath(names.lock);
    if (lockPath.empty()) return cannotCreateBecause(folder + "/" + names.lock, "The name is too long.");
    made->lock_ = takeLock(lockPath);
    if (!made->lock_) {
        if (errno == EWOULDBLOCK) return alreadyRunning;
        return cannotCreateBecause(lockPath, "It cannot be created.");
    }
    made->lockOwner_ = ::getpid();
    switch (made->handout_.bind(names.link)) {
        case DescriptorHandout::BindResult::bound: break;
        case DescriptorHandout::BindResult::taken: return alreadyRunning;
        default: return cannotCreateBecause(localSocketPath(names.link), "The socket cannot be made.");
    }
    if (made->mapping_.create(names.link.c_str(), sizeof(LinkMemory)) != SharedMemory::Result::ok)
        return cannotCreateBecause("memfd " + names.link, "It cannot be created.");
    made->attach();

    made->record_->version = LinkRecord::currentVersion;
    made->ownId_ = ownProcessId();
    // Bells of processes killed before they could remove them.
    removeStaleSockets(names.bellPrefix);
    if (!made->bell_.bind(names.bell(made->ownId_)))
        return cannotCreateBecause(names.bell(made->ownId_), "The socket cannot be made.");
    made->record_->readDone = 0;
    shared(made->record_->appProcessId).store(ownProcessId());
    made->signal(LinkEvent::appRead);
    if (made->record_->version != LinkRecord::currentVersion) return appVersionMismatch;
    // Plug-ins that connected meanwhile have waited for the record to be ready.
    if (!made->handout_.serve(made->mapping_.descriptor(), linkGreeting(), true))
        return cannotCreateBecause(made->handout_.path(), "The socket cannot be served.");

    link = std::move(made);
    return nullptr;
}

const char* PaintLink::openAsPlugin(std::unique_ptr<PaintLink>& link, std::uint32_t peerProcessId) {
    link.reset();
    std::unique_ptr<PaintLink> made(new PaintLink(LinkSide::plugin));
    const LinkNames& names = made->names_;

    const std::string expected = linkGreeting();
    std::string greeting(expected.size() + 16, '\0');
    UniqueFd memory;
    if (fetchDescriptor(names.link, greeting, memory, handoutPatienceMs) != FetchResult::ok) return notRunning;
    // A greeting or memory of another layout was made by another version.
    if (greeting != expected) return pluginVersionMismatch;
    const SharedMemory::Result adopted = made->mapping_.adopt(std::move(memory), sizeof(LinkMemory));
    if (adopted == SharedMemory::Result::tooSmall) return pluginVersionMismatch;
    if (adopted != SharedMemory::Result::ok) return notRunning;
    made->attach();
    // Nothing is written into a record of another layout.
    if (made->record_->version != LinkRecord::currentVersion) return pluginVersionMismatch;
    // An application that has ended since it answered: nobody would ever answer again.
    if (!processIsAlive(shared(made->record_->appProcessId).load())) return notRunning;
    made->ownId_ = peerProcessId != 0 ? peerProcessId : ownProcessId();
    if (!made->bell_.bind(names.bell(made->ownId_))) return notRunning;
    // Held while this end is open: the application streams views only to an open plug-in,
    // not to the paint program a plug-in that has ended left recorded as the peer.
    made->mapping_.holdUseLock();
    shared(made->record_->pluginProcessId).store(made->ownId_);
    made->signal(LinkEvent::pluginRead);
    link = std::move(made);
    return nullptr;
}

void PaintLink::attach() {
    auto* memory = static_cast<LinkMemory*>(mapping_.data());
    record_ = &memory->record;
    events_ = memory->events;
}

std::atomic_ref<std::uint32_t> PaintLink::event(LinkEvent e) const {
    return std::atomic_ref<std::uint32_t>(events_[static_cast<int>(e)]);
}

void PaintLink::close() {
    if (record_ != nullptr) {
        if (side_ == LinkSide::application) {
            shared(record_->appProcessId).store(0);
        } else {
            shared(record_->pluginProcessId).store(0);
            // A transfer the application has not read yet keeps its command.
            if (!isSignalled(LinkEvent::pluginWrite)) record_->command = LinkCommand::idle;
        }
    }
    // No new plug-in gets the memory once the application has let go of it.
    handout_.stop();
    peer_.close();
    record_ = nullptr;
    events_ = nullptr;
    mapping_.close();
    bell_.close();
    if (lock_ && lockOwner_ == ::getpid()) ::unlink(localSocketPath(names_.lock).c_str());
    lock_.reset();
}

std::uint32_t PaintLink::peerId() const {
    std::uint32_t& field =
        side_ == LinkSide::application ? record_->pluginProcessId : record_->appProcessId;
    return shared(field).load();
}

void PaintLink::setPeerId(std::uint32_t processId) {
    std::uint32_t& field =
        side_ == LinkSide::application ? record_->pluginProcessId : record_->appProcessId;
    shared(field).store(processId);
}

void PaintLink::signal(LinkEvent e) {
    if (record_ == nullptr) return;
    // Sequentially consistent, so that a waiter that finds the flag clear before it polls
    // its door bell is sure to be rung by the setter.
    setEvent(e, true);
    const std::uint32_t peer = peerId();
    if (peer != 0 && peer != ownId_) bell_.ring(names_.bell(peer));
}

bool PaintLink::isSignalled(LinkEvent e) const { return events_ != nullptr && event(e).load() != 0; }

int PaintLink::peerProcess() {
    if (record_ == nullptr) return -1;
    const std::uint32_t id = peerId();
    if (peer_ && (id == 0 || id == peer_.processId())) return peer_.descriptor();
    // No peer watched yet, or a new one opened its end before the end of the one watched
    // was noticed: that end is no longer the link's business, and must not take the new
    // peer's id and events. The new watch is made while the old one is still open, so
    // that an event loop that follows the descriptor by its number sees a new number.
    peerVanished_ = false;
    if (id == 0) return -1;
    ProcessWatch next;
    const ProcessWatch::Result opened = next.open(id);
    peer_ = std::move(next);
    // A peer that ended before anybody watched it has ended all the same.
    peerVanished_ = opened == ProcessWatch::Result::gone;
    if (opened != ProcessWatch::Result::watching) return -1;
    return peer_.descriptor();
}

int PaintLink::peerDescriptor() {
    peerProcess();
    return peer_.descriptor();
}

bool PaintLink::releaseEndedPlugin() {
    if (!peer_ || !peer_.ended()) return false;
    bell_.drain();
    if (static_cast<std::uint32_t>(bell_.lastRinger()) != peer_.processId()) return false;
    peer_.close();
    return true;
}

void PaintLink::setPeerProcessId(std::uint32_t processId) {
    peer_.close();
    peerVanished_ = false;
    setPeerId(processId);
}

void PaintLink::setViewAngles(float heading, float pitch) {
    record_->heading = heading;
    record_->pitch = pitch;
}

void PaintLink::setImageSize(std::int32_t width, std::int32_t height) {
    record_->imageWidth = width;
    record_->imageHeight = height;
}

void PaintLink::setTemplatePath(const char* path) {
    std::memset(record_->templatePath, 0, LinkRecord::templatePathSize);
    if (path != nullptr)
        std::memcpy(record_->templatePath, path,
                    strnlen(path, LinkRecord::templatePathSize));
}

void PaintLink::firstTile() { ::firstTile(record_->imageWidth, record_->imageHeight, record_->tileRect); }

bool PaintLink::nextTile() {
    return ::nextTile(record_->imageWidth, record_->imageHeight, record_->tileRect);
}

bool PaintLink::isFirstTile() const { return ::isFirstTile(record_->tileRect); }

bool PaintLink::isLastTile() const {
    return ::isLastTile(record_->imageWidth, record_->imageHeight, record_->tileRect);
}

void PaintLink::trace(const char* text) const {
    if (std::getenv("DOMECAST_DEBUG_IPC") == nullptr) return;
    const std::string line = (side_ == LinkSide::application ? "App: " : "Plugin: ") + std::string(text);
    DebugPrint(line.c_str());
}

void PaintLink::doneWriting() {
    signal(side_ == LinkSide::application ? LinkEvent::appWrite : LinkEvent::pluginWrite);
    trace("doneWriting finished");
}

void PaintLink::doneReading() {
    signal(side_ == LinkSide::application ? LinkEvent::appRead : LinkEvent::pluginRead);
    record_->readDone = 1;
    trace("doneReading finished");
}

void PaintLink::cancel() {
    signal(side_ == LinkSide::application ? LinkEvent::appCancel : LinkEvent::pluginCancel);
}

void PaintLink::resetEvents() {
    setEvent(LinkEvent::pluginWrite, false);
    setEvent(LinkEvent::appWrite, false);
    setEvent(LinkEvent::pluginCancel, false);
    setEvent(LinkEvent::appCancel, false);
    signal(LinkEvent::pluginRead);
    signal(LinkEvent::appRead);
}

void PaintLink::peerGone() {
    record_->command = LinkCommand::peerEnded;
    peer_.close();
    peerVanished_ = false;
    setPeerId(0);
    resetEvents();
}

PaintLink::Ready PaintLink::check(LinkEvent awaited) {
    // The order of a wait on several objects: the lowest signalled one wins. The peer's end
    // is looked at first: a peer that signals and then ends between the looks would
    // otherwise be taken for one that ended without a word, its last transfer lost.
    const bool ended = (peer_ && peer_.ended()) || peerVanished_;
    const LinkEvent peerCancel =
        side_ == LinkSide::application ? LinkEvent::pluginCancel : LinkEvent::appCancel;
    if (isSignalled(peerCancel)) return Ready::cancelled;
    if (isSignalled(awaited)) return Ready::awaited;
    if (ended) return Ready::peerEnded;
    return Ready::nothing;
}

PaintLink::Ready PaintLink::wait(LinkEvent awaited, int inputFd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point plainUntil = Clock::now() + plainWait;
    for (;;) {
        // A peer that connects while this side waits is watched from then on.
        peerProcess();
        const Ready ready = check(awaited);
        if (ready != Ready::nothing) return ready;

        const Clock::time_point now = Clock::now();
        const bool plain = now < plainUntil;
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = pollfd{bell_.descriptor(), POLLIN, 0};
        if (peer_.descriptor() >= 0) fds[count++] = pollfd{peer_.descriptor(), POLLIN, 0};
        const nfds_t inputIndex = count;
        if (!plain && inputFd >= 0) fds[count++] = pollfd{inputFd, POLLIN, 0};
        int timeout = -1;
        if (plain)
            timeout = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(plainUntil - now).count());
        else if (peer_ && peer_.descriptor() < 0)
            timeout = peerPollMilliseconds;

        if (::poll(fds, count, timeout) < 0) {
            if (errno == EINTR) continue;
            return Ready::nothing;
        }
        bell_.drain();
        // The link's objects come before input, as in a wait on several objects.
        if (inputIndex < count && fds[inputIndex].revents != 0) return check(awaited);
    }
}

bool PaintLink::finishWait(Ready ready, LinkEvent awaited, const char* what) {
    const std::string done = std::string(what) + " done";
    const std::string aborted = std::string(what) + " aborted";
    const bool reading = awaited == LinkEvent::pluginWrite || awaited == LinkEvent::appWrite;
    abandonedWith_ = LinkCommand::idle;
    switch (ready) {
        case Ready::awaited:
            if (reading) {
                // Copied while the write event is still set: a plug-in that closes its end
                // right after writing clears the command only of a transfer already read.
                // Header first: the tile's size must be known sound before pixels are copied.
                std::memcpy(received_.get(), record_, offsetof(LinkRecord, tilePixels));
                if (!transferIsSound(*received_, side_)) {
                    resetEvents();
                    record_->command = abandonedWith_ = LinkCommand::cancelled;
                    trace(aborted.c_str());
                    return false;
                }
                // The whole pixel area: a plug-in follows the tile order on its own, as the
                // application moves tileRect on before it signals the tile written.
                std::memcpy(received_->tilePixels, record_->tilePixels, LinkRecord::tilePixelsSize);
            }
            setEvent(awaited, false);
            trace(done.c_str());
            return true;
        case Ready::cancelled:
            resetEvents();
            record_->command = abandonedWith_ = LinkCommand::cancelled;
            trace(aborted.c_str());
            return false;
        case Ready::peerEnded:
            peerGone();
            abandonedWith_ = LinkCommand::peerEnded;
            trace(aborted.c_str());
            return false;
        case Ready::nothing:
            break;
    }
    if (record_->command == LinkCommand::peerEnded || record_->command == LinkCommand::cancelled)
        trace(aborted.c_str());
    return false;
}

namespace {
LinkEvent peerRead(LinkSide side) {
    return side == LinkSide::application ? LinkEvent::pluginRead : LinkEvent::appRead;
}
LinkEvent peerWrite(LinkSide side) {
    return side == LinkSide::application ? LinkEvent::pluginWrite : LinkEvent::appWrite;
}
}  // namespace

bool PaintLink::waitToWrite(int inputFd) {
    const LinkEvent awaited = peerRead(side_);
    return finishWait(wait(awaited, inputFd), awaited, "waitToWrite");
}

bool PaintLink::waitToRead(int inputFd) {
    const LinkEvent awaited = peerWrite(side_);
    return finishWait(wait(awaited, inputFd), awaited, "waitToRead");
}

bool PaintLink::tryToWrite() {
    const LinkEvent awaited = peerRead(side_);
    peerProcess();
    bell_.drain();
    return finishWait(check(awaited), awaited, "waitToWrite");
}

bool PaintLink::tryToRead() {
    const LinkEvent awaited = peerWrite(side_);
    peerProcess();
    bell_.drain();
    return finishWait(check(awaited), awaited, "waitToRead");
}
