#pragma once
#include <string>

#include "platform/local_socket.h"

// A process's door bell: a UNIX datagram socket in this user's socket folder that other
// processes ring with one byte after they change shared state. A ring that arrives before
// the owner polls stays queued, so a waiter that checks the state and then polls misses
// nothing.
class DoorBell {
public:
    // Binds the bell under name; false when a living process holds the name or sockets are
    // unavailable.
    bool bind(const std::string& name);
    explicit operator bool() const { return static_cast<bool>(socket_); }
    void close() { socket_.close(); }

    // Readable while a ring is queued.
    int descriptor() const { return socket_.descriptor(); }
    // Rings the bell bound under name. Never blocks: a bell whose queue is full has been
    // rung already, and a name nobody binds is simply not answered.
    void ring(const std::string& name) const;
    // Takes every queued ring off the bell.
    void drain() const;
    // The process that rang last, as the kernel saw it (not as it named itself); 0 before
    // any ring.
    int lastRinger() const { return lastRinger_; }

private:
    LocalSocket socket_;
    mutable int lastRinger_ = 0;
};
