#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/io_exception.h"

// Files that replace their old versions together or not at all: the six faces of a
// panorama, a PCX and its Targa, the scene file that names them.
//
// Every file is first written into a staging folder ".domecast-<pid>-XXXXXX" beside its
// target. commit() makes the staged files durable, writes the list of renames into each
// staging folder (synced), and only then renames the files over their targets, in one pass
// in the order they were made, and removes the folders (a set of one file skips the
// flushes and the list: its one rename is atomic already). Writers make the file a reader
// starts from (the scene file, the web page) last, so that it never names a file that is
// still old. A set destroyed before its lists are written removes what it staged and
// leaves every old file as it was. When the process dies after the lists are written, the
// next open or save in that folder finishes the renames, in the same order
// (finishStaleSaves).
//
// While a set is alive it is the current set of its thread: writeReplacing stages into
// it instead of replacing at once, so writers that replace one file each take part in the
// save without knowing of it. Sets nest; the innermost is current.
// What a set does with an existing target the user may not write (isReadOnlyFile): replace
// it as any other, or refuse the write with readOnlyReason before anything is written. A
// panorama's save and domecast-cli's outputs refuse unless the user said to replace it;
// the program's own files (settings, recovery) replace.
enum class ReadOnlyTargets { replace, refuse };

inline constexpr const char* readOnlyReason = "the file is read-only";

class SaveSet {
public:
    explicit SaveSet(ReadOnlyTargets readOnly = ReadOnlyTargets::replace);
    ~SaveSet();
    SaveSet(const SaveSet&) = delete;
    SaveSet& operator=(const SaveSet&) = delete;

    // Calls write with a path naming path's file in the staging folder beside it; every
    // file write makes there (a writer may make several) replaces the file of the same name
    // at commit. A path that is a symbolic link is written through: the file it finally
    // names is replaced, staged in that file's folder. An ioException that names a staged
    // file is re-thrown naming the real one. Throws ioException (path, writing) when path
    // names a folder, a pipe or a device, when its folder does not exist ("the folder ...
    // does not exist"), when the set refuses read-only targets and path is one
    // (readOnlyReason) or when the disk is full; (path, opening) when no staging folder can
    // be made for another reason.
    void write(const std::string& path, const std::function<void(const std::string& stagedPath)>& write);

    // Replaces every target with its staged file, in the order the files were made; a
    // rename that fails stops the pass, and the rest is left to the next open or save in
    // the folder. A replaced file keeps its permission bits
    // and, where the process may, its group. Throws ioException (target, writing) when a
    // target cannot be replaced, a staged file cannot be made durable, the list of renames
    // cannot be written or a rename fails, when a write of the set failed, or when the set
    // refuses read-only targets and one is (readOnlyReason); before the
    // list is written nothing is replaced.
    void commit();

    // The set open on this thread, or null.
    static SaveSet* current();

    struct Folder;

private:
    struct Staged {
        Folder* folder;
        std::string name;
    };

    Folder& folderFor(const std::string& prefix, const std::string& shownPath);
    // Adds the files a write made in folder's staging folder (name first) to the set.
    void recordMade(Folder& folder, const std::string& name, const std::string& path);

    std::vector<std::unique_ptr<Folder>> folders_;
    ReadOnlyTargets readOnly_;
    std::vector<Staged> order_;  // every staged file of the set, in the order made
    SaveSet* outer_ = nullptr;
    bool listed_ = false;  // every folder's list of renames is written
    bool broken_ = false;  // a write threw: what it left must not replace anything
    std::string firstPath_;  // named by errors no single file is to blame for
};

// Throws the ioException (path, writing) a write of path would throw for a path naming a
// folder, a pipe or a device, or (with folderMustExist) a file in a folder that is not
// there, so that a command can refuse before its long work.
void checkWritablePath(const std::string& path, bool folderMustExist = true);

// Whether path names an existing file whose permission bits let this user not write it
// (the superuser, whom the bits do not stop, when they let no one write it).
bool isReadOnlyFile(const std::string& path);

// Whether e is a save's refusal of a read-only target.
bool isReadOnlyRefusal(const ioException& e);

// Looks in folder (empty: the current folder) for staging folders left by processes that
// no longer run: one with a complete list of renames is finished (its files renamed over
// their targets), one without is deleted. Folders of running processes, of other users and
// with a list that cannot be read are left alone. Never throws.
void finishStaleSaves(const std::string& folder);
