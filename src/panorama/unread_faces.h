#pragma once
#include <string>
#include <vector>

// A face file a load of six face files looked for and could not use; its face is white.
struct UnreadFace {
    std::string path;
    bool missing = false;  // no such file, rather than a file that is not a readable picture
};

// One text naming every file of unread with what was wrong with it; empty when there are
// none.
std::string unreadFacesMessage(const std::vector<UnreadFace>& unread);
// That text in one message box (on stderr in the command-line programs); nothing when
// unread is empty.
void reportUnreadFaces(const std::vector<UnreadFace>& unread);

// The message of a load that could read none of the faces of the panorama named base:
// "No faces found for <name>: looked for <file>, <file>, ..." when none of the files is
// there, else "No face of <name> could be read:" and the files as above.
std::string noFacesMessage(const std::string& base, const std::vector<UnreadFace>& unread);
