// The paint group: "Paint this view" and the link to the paint program. The round trip
// itself (the view file or the tiles out, the painted picture back) is not offered yet,
// so its command stays grey; the link is held open so that a second editor is refused.
#include "shell/commands.h"
#include "shell/shell.h"

bool paintCommandOffered(int) { return false; }

const char* Shell::openLink() { return PaintLink::openAsApplication(link_); }

void Shell::setTempView(const std::string& path, std::time_t time) {
    tempViewPath_ = path;
    tempViewTime_ = time;
}
