// Stands in for the editor a plug-in starts: takes the application end of the link,
// receives one transfer and writes what it saw, and how it was started, to the file named
// by $DOMECAST_FAKE_REPORT.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/paint_link.h"
#include "link/tile_transfer.h"

int main() {
    const char* report = std::getenv("DOMECAST_FAKE_REPORT");
    if (report == nullptr) return 2;
    // Descriptors beyond the standard three were inherited from whoever started us.
    int inherited = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(fds);
        while (const dirent* entry = ::readdir(fds)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != own) ++inherited;
        }
        ::closedir(fds);
    }
    const bool sessionLeader = ::getsid(0) == ::getpid();
    std::unique_ptr<PaintLink> link;
    if (PaintLink::openAsApplication(link) != nullptr) return 3;
    TileReceiver receiver(*link, nullptr, true);
    const TransferStatus status = receiver.run();
    std::string line = "status " + std::to_string(static_cast<int>(status)) + " command " +
                       std::to_string(link->received().command) + " size " +
                       std::to_string(receiver.picture().width) + "x" + std::to_string(receiver.picture().height) +
                       " inherited " + std::to_string(inherited) + " leader " + std::to_string(sessionLeader) + "\n";
    link->close();
    FILE* out = std::fopen(report, "w");
    if (out == nullptr) return 4;
    std::fputs(line.c_str(), out);
    return std::fclose(out) == 0 ? 0 : 4;
}
