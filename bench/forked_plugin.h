#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "link/paint_link.h"

// The application's end of a link of the benchmark's own, with a plug-in forked to run at
// the other end; the plug-in is cancelled and reaped, and the link closed, at the end.
class ForkedPluginLink {
public:
    ForkedPluginLink(const std::string& namePrefix, void (*plugin)()) {
        const std::string name = namePrefix + std::to_string(::getpid());
        ::setenv("DOMECAST_LINK_NAME", name.c_str(), 1);
        if (PaintLink::openAsApplication(app_) != nullptr) return;
        plugin_ = ::fork();
        if (plugin_ == 0) plugin();
    }
    ~ForkedPluginLink() {
        if (!app_) return;
        app_->cancel();
        int status = 0;
        if (plugin_ > 0) ::waitpid(plugin_, &status, 0);
        app_->close();
    }
    ForkedPluginLink(const ForkedPluginLink&) = delete;
    ForkedPluginLink& operator=(const ForkedPluginLink&) = delete;

    // Null when the link could not be created.
    PaintLink* app() const { return app_.get(); }

private:
    std::unique_ptr<PaintLink> app_;
    pid_t plugin_ = -1;
};
