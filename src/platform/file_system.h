#pragma once
#include <string>
#include <vector>

// File and folder services for installing files into folders the user names. Each
// returns 0 on success or the errno value of the step that failed, so that the caller
// can show the system's description of it.

// Copies source over destination. The copy is written to a temporary file beside
// destination and renamed over it, so a failed copy never leaves a half-written file and
// a program running from the old file keeps its own. The copy takes the source's
// permission bits (without set-id bits), not those of the file it replaces, and the
// time of the copy as its modification time.
int copyFileReplacing(const std::string& source, const std::string& destination);

// Creates folder and every missing parent with the permission bits mode (the owner
// always keeps read, write and search, so the folder can be filled); each folder made is
// appended to made, outermost first. A folder that already exists is no error; a file in
// the way is (ENOTDIR or EEXIST).
int makeFolderTree(const std::string& folder, unsigned mode, std::vector<std::string>& made);

// The permission bits of an existing folder; fallback when it cannot be read.
unsigned folderMode(const std::string& folder, unsigned fallback);

// Whether both name existing folders that are one folder (device and inode), however
// they are spelled (a link, a trailing "/", "..").
bool sameDirectory(const std::string& a, const std::string& b);
bool isDirectory(const std::string& path);

// Whether both are readable regular files with the same bytes.
bool sameFileContents(const std::string& a, const std::string& b);

// Whether path is a regular file the user may execute.
bool isExecutableFile(const std::string& path);
// A name without "/" is looked up in $PATH as a shell would; the full path found, or
// empty. A name with "/" is returned when it is an executable file.
std::string findExecutable(const std::string& name);
