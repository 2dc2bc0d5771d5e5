#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum class FileRead { ok, missing, failed };

// Reads a whole regular file of at most limit bytes. missing: no such file; failed: not
// readable, not a regular file, or larger than limit (contents then left empty).
FileRead readFileContents(const std::string& path, std::size_t limit, std::string& contents);

// Reads a regular file up to limit bytes from its start; cut is set when the file holds
// more (contents then holds the first limit bytes). missing: no such file; failed: not
// readable or not a regular file.
FileRead readFileStart(const std::string& path, std::size_t limit, std::string& contents, bool& cut);

// Replaces path with contents through writeReplacing, so a failed write never leaves a
// half-written file. An existing file keeps its
// permissions; a new one is private to the user. Returns false on any failure, with
// the temporary file removed.
bool replaceFileContents(const std::string& path, std::string_view contents);

// Creates folder and any missing parents, each private to the user (0700); true when
// the folder exists afterwards.
bool makeFolders(const std::string& folder);
