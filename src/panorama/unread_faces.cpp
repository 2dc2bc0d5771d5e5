#include "panorama/unread_faces.h"

#include "panorama/format_table.h"
#include "platform/message.h"

namespace {
// One line a file: its path and what was wrong with it.
std::string fileLines(const std::vector<UnreadFace>& unread) {
    std::string lines;
    for (const UnreadFace& face : unread)
        lines += "\n" + face.path + (face.missing ? " (not found)" : " (unreadable)");
    return lines;
}
}  // namespace

std::string unreadFacesMessage(const std::vector<UnreadFace>& unread) {
    if (unread.empty()) return {};
    return (unread.size() == 1 ? "This face file could not be read; its face is left white:"
                               : "These face files could not be read; their faces are left white:") +
           fileLines(unread);
}

void reportUnreadFaces(const std::vector<UnreadFace>& unread) {
    if (!unread.empty()) showMessage(unreadFacesMessage(unread), MessageStyle::okExclamation);
}

std::string noFacesMessage(const std::string& base, const std::vector<UnreadFace>& unread) {
    const std::string name(fileNamePart(base));
    bool allMissing = true;
    for (const UnreadFace& face : unread) allMissing = allMissing && face.missing;
    if (!allMissing) return "No face of " + name + " could be read:" + fileLines(unread);
    std::string text = "No faces found for " + name + ": looked for ";
    for (std::size_t i = 0; i < unread.size(); ++i) {
        if (i > 0) text += ", ";
        text += fileNamePart(unread[i].path);
    }
    return text;
}
