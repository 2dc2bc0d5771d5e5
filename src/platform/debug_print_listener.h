#pragma once
#include <optional>
#include <string>

#include "platform/unique_fd.h"

// The viewer's end of DebugPrint: a datagram socket bound to an abstract name.
class DebugPrintListener {
public:
    enum class Status { listening, taken, failed };

    explicit DebugPrintListener(const std::string& name);

    Status status() const { return status_; }
    // errno of the failure, for Status::failed.
    int error() const { return error_; }
    // Readable when lines are waiting; for poll().
    int fd() const { return socket_.get(); }

    // The next waiting line, without waiting. Lines from other users, who share the
    // abstract namespace, are dropped unread.
    std::optional<std::string> receive();

private:
    UniqueFd socket_;
    Status status_ = Status::failed;
    int error_ = 0;
};
