#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include <sys/types.h>

#include "link/link_names.h"
#include "link/link_record.h"
#include "platform/descriptor_handout.h"
#include "platform/door_bell.h"
#include "platform/process_watch.h"
#include "platform/shared_memory.h"
#include "platform/unique_fd.h"

// The six events, in the order the link holds them.
enum class LinkEvent { pluginCancel, appCancel, pluginRead, pluginWrite, appRead, appWrite };

// One end of the link with the paint program: the application's (which is also its
// single-instance lock) or a plug-in's. Used from one thread.
//
// The application makes the record and the six events' flags in anonymous shared memory
// and hands its descriptor to this user's processes that connect to the link's socket in
// this user's socket folder; each end rings the other's door bell after it sets an event.
class PaintLink {
public:
    // Null on success (link set), else the text of the message to show (link left empty).
    static const char* openAsApplication(std::unique_ptr<PaintLink>& link);
    // Whether a refusal of openAsApplication says that another editor holds the link.
    static bool refusedAsRunning(const char* refusal);
    // peerProcessId is the process recorded as the application's peer, and names this
    // end's door bell: 0 for this process; a plug-in that runs as a process of its own
    // names its paint program, whose end the application then watches.
    static const char* openAsPlugin(std::unique_ptr<PaintLink>& link, std::uint32_t peerProcessId = 0);

    ~PaintLink();
    PaintLink(const PaintLink&) = delete;
    PaintLink& operator=(const PaintLink&) = delete;

    // Gives up this end; the application end also removes the link's socket.
    void close();

    // True when this side may write the record now. False when the peer cancelled
    // (command 11), ended (command 10), or inputFd became readable (nothing changed).
    // Waits 100 ms for the link alone, then also for inputFd.
    bool waitToWrite(int inputFd = -1);
    // True when the peer has written a transfer this side may act on (see received());
    // false as above, and with command 11 and the events idle for a transfer refused as
    // unsound (a tile outside the picture, an absurd size, an unknown command, ...).
    bool waitToRead(int inputFd = -1);
    // The same checks without waiting, for an event loop that sleeps on the descriptors
    // below; false with nothing changed when nothing is ready.
    bool tryToWrite();
    bool tryToRead();
    // Readable when the peer has signalled an event.
    int bellDescriptor() const { return bell_.descriptor(); }
    // Readable when the peer process has ended; -1 while no peer is known, or when the
    // kernel offers no pidfd (the loop then has to call tryTo... now and then).
    int peerDescriptor();

    // Why the last wait came back false: LinkCommand::cancelled (the peer cancelled, or its
    // transfer was refused), LinkCommand::peerEnded, or idle (input, or it did not).
    std::int32_t abandonedWith() const { return abandonedWith_; }

    void doneWriting();
    void doneReading();
    void cancel();
    // Idle: nothing to read, both sides free to write.
    void resetEvents();
    void peerGone();

    // The watched peer process (a descriptor; -1 when there is none or it cannot be opened).
    int peerProcess();
    // Lets go of the watched process without the peer-ended handling (no command 10, events
    // untouched) when it has ended and was the plug-in itself, the last process to ring this
    // end's bell. A plug-in that named its paint program as the peer leaves the same record
    // behind when it closes, but the paint program's end is still the loss of the peer.
    // True when the process was let go.
    bool releaseEndedPlugin();
    void setPeerProcessId(std::uint32_t processId);
    void setViewAngles(float heading, float pitch);
    void setImageSize(std::int32_t width, std::int32_t height);
    // Bounded copy into the 260-byte field, zero-padded; a path of 260 bytes or more
    // fills the field with no terminator.
    void setTemplatePath(const char* path);

    void firstTile();
    bool nextTile();
    bool isFirstTile() const;
    bool isLastTile() const;

    // The shared record, as the peer may still change it.
    LinkRecord& record() { return *record_; }
    const LinkRecord& record() const { return *record_; }
    // The transfer the last successful waitToRead accepted: header and tile pixels copied
    // out of the shared record and checked, so that the peer cannot change them any more.
    const LinkRecord& received() const { return *received_; }
    bool isApplication() const { return side_ == LinkSide::application; }
    // Whether a plug-in end has the link open now (it holds the record's use lock).
    bool pluginIsOpen() const { return mapping_.useLockHeld(); }
    bool isSignalled(LinkEvent event) const;

private:
    enum class Ready { awaited, cancelled, peerEnded, nothing };

    explicit PaintLink(LinkSide side);
    // Points record_ and events_ into the mapping.
    void attach();
    std::atomic_ref<std::uint32_t> event(LinkEvent e) const;
    void setEvent(LinkEvent e, bool signalled) {
        if (events_ != nullptr) event(e).store(signalled ? 1 : 0);
    }
    void signal(LinkEvent e);
    std::uint32_t peerId() const;
    void setPeerId(std::uint32_t processId);
    Ready check(LinkEvent awaited);
    Ready wait(LinkEvent awaited, int inputFd);
    bool finishWait(Ready ready, LinkEvent awaited, const char* what);
    void trace(const char* text) const;

    LinkSide side_;
    ProcessWatch peer_;
    bool peerVanished_ = false;  // the recorded peer id named no living process
    SharedMemory mapping_;
    std::uint32_t* events_ = nullptr;  // in the mapping, after the record
    LinkRecord* record_ = nullptr;
    std::unique_ptr<LinkRecord> received_;
    DoorBell bell_;
    LinkNames names_;
    UniqueFd lock_;  // the application's single-instance lock
    pid_t lockOwner_ = 0;
    DescriptorHandout handout_;
    std::uint32_t ownId_ = 0;  // this end's id in the record
    std::int32_t abandonedWith_ = LinkCommand::idle;
};
