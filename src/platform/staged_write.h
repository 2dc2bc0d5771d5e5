#pragma once
#include <functional>
#include <string>

// Writes files so that a failure never leaves a good file truncated. write is called with
// a path naming path's file in a fresh hidden folder beside it; every file write makes
// there (a writer may make several, such as a PCX and a Targa) is renamed over the file
// of the same name beside path once write has returned. When write throws, what it made
// is removed and the files beside path are untouched; an ioException that names a staged
// file is re-thrown naming the real one. A replaced file keeps its permission bits and,
// where the process may, its group. A path that is a symbolic link is written through:
// the file it finally names is replaced, staged in that file's folder. Throws
// ioException (path, writing) when path names a folder, a pipe or a device, when its
// folder does not exist or when a rename fails; (path, opening) when no staging folder can
// be made for another reason. While a SaveSet is open on this thread the file is staged
// into it and replaced when the set commits (refused when that set refuses read-only
// files); else a read-only file is replaced as any other.
void writeReplacing(const std::string& path, const std::function<void(const std::string& stagedPath)>& write);
