#pragma once
#include <memory>
#include <string>

#include "platform/local_socket.h"
#include "platform/unique_fd.h"

// Hands one descriptor to this user's processes that connect to a socket in this user's
// socket folder: a sequenced-packet listener whose own thread answers each connection with
// a short greeting and the descriptor (SCM_RIGHTS), then closes it. A process of another
// user (as the kernel saw it connect) gets nothing.
class DescriptorHandout {
public:
    enum class BindResult { bound, taken, noFolder, failed };

    DescriptorHandout();
    ~DescriptorHandout();
    DescriptorHandout(const DescriptorHandout&) = delete;
    DescriptorHandout& operator=(const DescriptorHandout&) = delete;

    // Binds and listens under name; connections wait until serve(). A socket file nobody
    // listens on any more is replaced; a live one is taken.
    BindResult bind(const std::string& name);
    // Starts answering connections with greeting and descriptor, which must stay open until
    // stop(). With ownDescriptions each peer gets a description of the file of its own
    // (reopened through /proc/self/fd), so that its open-file-description locks are its own.
    bool serve(int descriptor, const std::string& greeting, bool ownDescriptions);
    // Ends the thread and removes the socket. In a forked child, where the thread does not
    // exist, only lets go of it.
    void stop();

    const std::string& path() const;
    // Connections refused because they came from another user.
    int refused() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// What fetchDescriptor found.
enum class FetchResult {
    ok,
    absent,    // nobody listens under the name
    foreign,   // the listener is another user's process
    failed,    // no safe socket folder, no answer within the time, or no descriptor
};

// Connects to the handout bound under name and takes its greeting (cut to greeting's size
// as given, set to the length received) and descriptor, waiting at most timeoutMs.
FetchResult fetchDescriptor(const std::string& name, std::string& greeting, UniqueFd& descriptor, int timeoutMs);
