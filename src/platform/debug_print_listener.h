#pragma once
#include <optional>
#include <string>

#include "platform/local_socket.h"

// The viewer's end of DebugPrint: a datagram socket bound in this user's socket folder.
class DebugPrintListener {
public:
    enum class Status { listening, taken, failed };

    explicit DebugPrintListener(const std::string& name);

    Status status() const { return status_; }
    // errno of the failure, for Status::failed.
    int error() const { return error_; }
    // Readable when lines are waiting; for poll().
    int fd() const { return socket_.descriptor(); }

    // The next waiting line, without waiting. Lines from other users (who can reach the
    // socket only through a folder left open to them) are dropped unread.
    std::optional<std::string> receive();

private:
    LocalSocket socket_;
    Status status_ = Status::failed;
    int error_ = 0;
};
