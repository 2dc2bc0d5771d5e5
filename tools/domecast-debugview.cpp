// Prints every line the Domecast programs send with DebugPrint, each with the local time
// it arrived, until interrupted (SIGINT or SIGTERM).

#include <poll.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/debug_print.h"
#include "platform/debug_print_listener.h"
#include "platform/signal_descriptor.h"

namespace {

std::string timeStamp() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03ld", now.tv_nsec / 1000000);
    return text;
}

// One output line per line of the text, each stamped; control characters that could
// steer the terminal are shown as '?'.
void print(std::string_view text) {
    const std::string stamp = timeStamp();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string out;
    for (;;) {
        const std::size_t end = text.find('\n');
        out += stamp;
        out += ' ';
        for (char c : text.substr(0, end)) {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back((byte < 0x20 && c != '\t') || byte == 0x7f ? '?' : c);
        }
        out += '\n';
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(help ? stdout : stderr,
                     "usage: domecast-debugview\n"
                     "Prints each DebugPrint line of the Domecast programs with its time of arrival,\n"
                     "until interrupted. Listens on the socket \"DebugPrint.<uid>\", or on the name in\n"
                     "DOMECAST_DEBUGPRINT_SOCKET, in $XDG_RUNTIME_DIR (else /tmp/domecast-<uid>).\n");
        return help ? 0 : 2;
    }

    // The signals are taken through a descriptor, so one arriving just before poll()
    // still ends the loop.
    const SignalDescriptor signals{SIGINT, SIGTERM};
    if (!signals) {
        std::perror("domecast-debugview: signalfd");
        return 1;
    }

    const std::string name = debugPrintSocketName();
    DebugPrintListener listener(name);
    switch (listener.status()) {
    case DebugPrintListener::Status::listening:
        break;
    case DebugPrintListener::Status::taken:
        std::fprintf(stderr,
                     "domecast-debugview: another viewer is already listening on \"%s\"; "
                     "only one can receive the lines.\n",
                     name.c_str());
        return 1;
    case DebugPrintListener::Status::failed:
        std::fprintf(stderr, "domecast-debugview: cannot listen on \"%s\": %s\n", name.c_str(),
                     std::strerror(listener.error()));
        return 1;
    }
    std::printf("domecast-debugview: listening on \"%s\"\n", name.c_str());
    std::fflush(stdout);

    for (;;) {
        pollfd watched[2] = {{listener.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("domecast-debugview: poll");
            return 1;
        }
        if (watched[0].revents & POLLIN)
            while (std::optional<std::string> line = listener.receive()) print(*line);
        if (watched[1].revents & POLLIN) return 0;
    }
}
