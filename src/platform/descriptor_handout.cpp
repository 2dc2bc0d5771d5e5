#include "platform/descriptor_handout.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

namespace {

bool peerUid(int socket, uid_t& uid) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
        return false;
    uid = credentials.uid;
    return true;
}

bool sendWithDescriptor(int socket, const std::string& data, int descriptor) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    iovec part{const_cast<char*>(data.data()), data.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &descriptor, sizeof descriptor);
    return ::sendmsg(socket, &message, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
}

}  // namespace

struct DescriptorHandout::State {
    LocalSocket listener;
    UniqueFd wake;  // an eventfd that tells the thread to end
    std::unique_ptr<std::thread> thread;
    pid_t threadOwner = 0;
    std::atomic<int> refused{0};

    void run(int descriptor, const std::string& greeting, bool ownDescriptions) {
        const uid_t user = ::geteuid();
        for (;;) {
            pollfd fds[2] = {{listener.descriptor(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            if (fds[0].revents == 0) continue;
            UniqueFd peer(::accept4(listener.descriptor(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!peer) continue;
            uid_t uid = 0;
            if (!peerUid(peer.get(), uid) || uid != user) {
                refused.fetch_add(1);
                continue;
            }
            UniqueFd own;
            if (ownDescriptions) {
                const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
                own.reset(::open(path.c_str(), O_RDWR | O_CLOEXEC));
            }
            sendWithDescriptor(peer.get(), greeting, own ? own.get() : descriptor);
        }
    }
};

DescriptorHandout::DescriptorHandout() : state_(std::make_unique<State>()) {}

DescriptorHandout::~DescriptorHandout() { stop(); }

DescriptorHandout::BindResult DescriptorHandout::bind(const std::string& name) {
    stop();
    if (localSocketFolder().empty()) return BindResult::noFolder;
    LocalSocket socket;
    if (!socket.open(SOCK_NONBLOCK, SOCK_SEQPACKET)) return BindResult::failed;
    switch (socket.bind(name)) {
        case LocalSocket::BindResult::bound: break;
        case LocalSocket::BindResult::taken: return BindResult::taken;
        case LocalSocket::BindResult::failed: return BindResult::failed;
    }
    if (::listen(socket.descriptor(), 16) != 0) return BindResult::failed;
    state_->listener = std::move(socket);
    return BindResult::bound;
}

bool DescriptorHandout::serve(int descriptor, const std::string& greeting, bool ownDescriptions) {
    if (!state_->listener || state_->thread || descriptor < 0) return false;
    state_->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!state_->wake) return false;
    try {
        State* state = state_.get();
        state_->thread = std::make_unique<std::thread>([state, descriptor, greeting, ownDescriptions] {
            state->run(descriptor, greeting, ownDescriptions);
        });
    } catch (...) {
        state_->wake.reset();
        return false;
    }
    state_->threadOwner = ::getpid();
    return true;
}

void DescriptorHandout::stop() {
    if (state_->thread) {
        if (state_->threadOwner == ::getpid()) {
            const std::uint64_t one = 1;
            if (::write(state_->wake.get(), &one, sizeof one) == sizeof one) state_->thread->join();
            else state_->thread->detach();
            state_->thread.reset();
        } else {
            // A forked child has no such thread: its object is let go, never joined.
            static_cast<void>(state_->thread.release());
        }
    }
    state_->wake.reset();
    state_->listener.close();
}

const std::string& DescriptorHandout::path() const { return state_->listener.path(); }

int DescriptorHandout::refused() const { return state_->refused.load(); }

FetchResult fetchDescriptor(const std::string& name, std::string& greeting, UniqueFd& descriptor, int timeoutMs) {
    descriptor.reset();
    const std::string path = localSocketPath(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return FetchResult::failed;
    std::memcpy(address.sun_path, path.data(), path.size());

    UniqueFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!socket) return FetchResult::failed;
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return errno == ENOENT || errno == ECONNREFUSED ? FetchResult::absent : FetchResult::failed;
    uid_t uid = 0;
    if (!peerUid(socket.get(), uid)) return FetchResult::failed;
    if (uid != ::geteuid()) return FetchResult::foreign;

    pollfd ready{socket.get(), POLLIN, 0};
    int polled;
    do polled = ::poll(&ready, 1, timeoutMs);
    while (polled < 0 && errno == EINTR);
    if (polled <= 0) return FetchResult::failed;

    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    iovec part{greeting.data(), greeting.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(socket.get(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n < 0) return FetchResult::failed;
    greeting.resize(static_cast<std::size_t>(n));
    // Every descriptor that came is taken into ownership before anything is judged.
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int received;
            std::memcpy(&received, CMSG_DATA(header) + i * sizeof(int), sizeof received);
            if (!descriptor) descriptor.reset(received);
            else ::close(received);
        }
    }
    if ((message.msg_flags & MSG_CTRUNC) != 0) descriptor.reset();
    return descriptor ? FetchResult::ok : FetchResult::failed;
}
