#include "platform/save_set.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>

#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/storage_error.h"
#include "platform/unique_fd.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view stagingPrefix = ".domecast-";
constexpr char listName[] = ".domecast-renames";
constexpr char listDraftName[] = ".domecast-renames.draft";
// First line of a list of renames; the count of names follows on the second line, then
// each name ended by a NUL, and nothing after the last.
constexpr std::string_view listHeader = "domecast renames 1\n";
// A list longer than this is not one this program wrote.
constexpr std::size_t listLimit = 1 << 20;

thread_local SaveSet* currentSet = nullptr;

// The staging folders this process is still using, by name, so that finishStaleSaves
// tells them from the leftovers of an earlier process that had the same id.
std::mutex activeMutex;
std::set<std::string>& activeFolders() {
    static std::set<std::string> names;
    return names;
}

void setActive(const std::string& name, bool active) {
    const std::lock_guard lock(activeMutex);
    if (active)
        activeFolders().insert(name);
    else
        activeFolders().erase(name);
}

bool isActive(const std::string& name) {
    const std::lock_guard lock(activeMutex);
    return activeFolders().count(name) != 0;
}

// The folder part of a path with its separator ("" for a bare name, "/" at the root).
std::string prefixOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file they finally name, so that the write replaces that
// file in its own folder and the links keep working. A dangling link names the file to
// create. Empty when the chain is too long or a link cannot be read.
std::string finalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        std::error_code error;
        const fs::path link = fs::read_symlink(current, error);
        if (error) return {};
        current = link.is_absolute() ? link.string() : (fs::path(current).parent_path() / link).string();
    }
    return {};
}

// Why an existing file in the target's place cannot be replaced by a written one, or null.
const char* unreplaceable(const std::string& target) {
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return nullptr;
    if (S_ISDIR(status.st_mode)) return "the output is a folder";
    if (S_ISFIFO(status.st_mode)) return "the output is a named pipe";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "the output is a device";
    return "the output is not a regular file";
}

// The error of a write of shownPath into prefix, a folder that is not there.
ioException missingFolder(const std::string& shownPath, const std::string& prefix) {
    const std::string folder = prefix.size() > 1 && prefix.back() == '/' ? prefix.substr(0, prefix.size() - 1) : prefix;
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && !S_ISDIR(status.st_mode))
        return ioExceptionBecause(shownPath, ioException::writing, folder + " is not a folder");
    return ioExceptionBecause(shownPath, ioException::writing, "the folder " + folder + " does not exist");
}

// Why the set may not write over the existing file target, or null.
const char* refusal(const std::string& target, ReadOnlyTargets readOnly) {
    if (const char* reason = unreplaceable(target)) return reason;
    if (readOnly == ReadOnlyTargets::refuse && isReadOnlyFile(target)) return readOnlyReason;
    return nullptr;
}

// Gives the staged file what the user set on the file it replaces: owner and group where
// this process may (root may give a file back to its owner; anyone may pick one of their
// own groups), before the permission bits, since a change of owner clears set-id bits. A
// new file keeps what its writer gave it. ownerKept turns false when the file changes
// hands.
bool keepAttributes(const std::string& staged, const std::string& target, bool& ownerKept) {
    ownerKept = true;
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return true;
    struct stat made {};
    if (::stat(staged.c_str(), &made) == 0) {
        if (made.st_uid != old.st_uid && ::chown(staged.c_str(), old.st_uid, old.st_gid) != 0) ownerKept = false;
        if (::stat(staged.c_str(), &made) == 0 && made.st_gid != old.st_gid)
            static_cast<void>(::chown(staged.c_str(), static_cast<uid_t>(-1), old.st_gid));
    }
    return ::chmod(staged.c_str(), old.st_mode & 07777) == 0;
}

bool noSpace(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

// Flushes a file or folder to the disk; a folder's sync makes the renames in it durable.
bool sync(const std::string& path) {
    const UniqueFd fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return fd && ::fsync(fd.get()) == 0;
}

// A name a list of renames may carry: a plain entry of the folder, never a path.
bool plainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name != listName && name != listDraftName;
}

std::string listText(const std::vector<std::string>& names) {
    std::string text(listHeader);
    text += std::to_string(names.size()) + "\n";
    for (const std::string& name : names) {
        text += name;
        text += '\0';
    }
    return text;
}

// The names of a complete list, or nothing when the text is not one.
std::optional<std::vector<std::string>> parseList(std::string_view text) {
    if (!text.starts_with(listHeader)) return std::nullopt;
    text.remove_prefix(listHeader.size());
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    std::size_t count = 0;
    const auto [last, error] = std::from_chars(text.data(), text.data() + end, count);
    if (error != std::errc() || last != text.data() + end || count > listLimit) return std::nullopt;
    text.remove_prefix(end + 1);
    std::vector<std::string> names;
    while (!text.empty()) {
        const std::size_t nul = text.find('\0');
        if (nul == std::string_view::npos || !plainName(text.substr(0, nul))) return std::nullopt;
        names.emplace_back(text.substr(0, nul));
        text.remove_prefix(nul + 1);
    }
    if (names.size() != count) return std::nullopt;
    return names;
}

// Reads a list of renames without following a link or blocking on a pipe, up to listLimit.
std::optional<std::vector<std::string>> readList(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    if (status.st_size < 0 || static_cast<std::size_t>(status.st_size) > listLimit) return std::nullopt;
    std::string text(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(fd.get(), text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        done += static_cast<std::size_t>(got);
    }
    return parseList(text);
}

// Renames every staged name that is still there over the file of that name in prefix, in
// the list's order: a name already gone was renamed before. Stops at the first rename that
// fails, so that a file the list names later (the scene file, last) never replaces its old
// version before the files named ahead of it. False when a rename fails.
bool renameAll(const std::string& staging, const std::string& prefix, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string staged = staging + "/" + name;
        struct stat status {};
        if (::lstat(staged.c_str(), &status) != 0) continue;
        if (std::rename(staged.c_str(), (prefix + name).c_str()) != 0) return false;
    }
    return true;
}

// The process id in a staging folder's name, or -1 when the name is not one.
pid_t stagingOwner(std::string_view name) {
    if (!name.starts_with(stagingPrefix)) return -1;
    name.remove_prefix(stagingPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || name.size() - dash - 1 != 6) return -1;
    pid_t pid = 0;
    const auto [last, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || last != name.data() + dash || pid <= 0) return -1;
    return pid;
}

bool stillRunning(pid_t pid, const std::string& name) {
    if (pid == ::getpid()) return isActive(name);
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Stops this process where a test asks it to, so that it can be killed at a known point
// of a save. DOMECAST_TEST_SAVE_STOP names the point: "staged" (every file written, no
// list yet), "listed" (lists written, nothing renamed), "renaming" (after the first
// rename) or "renaming:N" (after the Nth).
void stopAt(const char* point) {
    const char* wanted = std::getenv("DOMECAST_TEST_SAVE_STOP");
    if (wanted != nullptr && std::strcmp(wanted, point) == 0) ::raise(SIGSTOP);
}

// The count of renames after which the test stop "renaming" asks to stop, or 0.
std::size_t renamesBeforeStop() {
    const char* wanted = std::getenv("DOMECAST_TEST_SAVE_STOP");
    if (wanted == nullptr) return 0;
    const std::string_view text(wanted);
    constexpr std::string_view point = "renaming";
    if (text == point) return 1;
    if (!text.starts_with(point) || text.size() <= point.size() + 1 || text[point.size()] != ':') return 0;
    std::size_t count = 0;
    const auto [last, error] = std::from_chars(text.data() + point.size() + 1, text.data() + text.size(), count);
    return error == std::errc() && last == text.data() + text.size() ? count : 0;
}

}  // namespace

struct SaveSet::Folder {
    std::string prefix;   // the targets' folder, with its separator
    std::string staging;  // prefix + ".domecast-<pid>-XXXXXX"
    // The path shown for a target in errors: the path as given, when it was a link.
    std::map<std::string, std::string> shown;
    std::vector<std::string> names;  // the staged files, in the order they were made
    bool listed = false;

    std::string shownPath(const std::string& name) const {
        const auto found = shown.find(name);
        return found != shown.end() ? found->second : prefix + name;
    }

    bool has(const std::string& name) const { return std::find(names.begin(), names.end(), name) != names.end(); }

    ~Folder() {
        if (staging.empty()) return;
        // A folder with its list stays for the next open or save to finish.
        if (!listed) {
            std::error_code ignored;
            fs::remove_all(staging, ignored);
        }
        setActive(nameOf(staging), false);
    }
};

SaveSet::SaveSet(ReadOnlyTargets readOnly) : readOnly_(readOnly), outer_(currentSet) { currentSet = this; }

SaveSet::~SaveSet() {
    currentSet = outer_;
    folders_.clear();
}

SaveSet* SaveSet::current() { return currentSet; }

SaveSet::Folder& SaveSet::folderFor(const std::string& prefix, const std::string& shownPath) {
    for (const auto& folder : folders_)
        if (folder->prefix == prefix) return *folder;
    finishStaleSaves(prefix.empty() ? std::string() : prefix.size() == 1 ? prefix : prefix.substr(0, prefix.size() - 1));
    auto folder = std::make_unique<Folder>();
    folder->prefix = prefix;
    std::string pattern = prefix + std::string(stagingPrefix) + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR) throw missingFolder(shownPath, prefix);
        if (noSpace(errno))
            throw ioException{shownPath, ioException::writing, storageFailure(errno, "no room for a staging folder")};
        throw ioException{shownPath, ioException::opening,
                          storageFailure(errno, "cannot make a staging folder beside the file")};
    }
    folder->staging = pattern;
    setActive(nameOf(pattern), true);
    folders_.push_back(std::move(folder));
    return *folders_.back();
}

void SaveSet::recordMade(Folder& folder, const std::string& name, const std::string& path) {
    const auto add = [&](const std::string& made) {
        if (folder.has(made)) return;
        folder.names.push_back(made);
        order_.push_back({&folder, made});
    };
    struct stat status {};
    if (::lstat((folder.staging + "/" + name).c_str(), &status) == 0) add(name);
    // The other files the writer made beside it (a PCX's Targa), in a fixed order.
    std::vector<std::string> others;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder.staging, error)) {
        std::string made = entry.path().filename().string();
        if (plainName(made) && !folder.has(made)) others.push_back(std::move(made));
    }
    if (error) {
        broken_ = true;
        throw ioException{path, ioException::writing, "cannot list the staging folder"};
    }
    std::sort(others.begin(), others.end());
    for (const std::string& made : others) add(made);
}

void SaveSet::write(const std::string& path, const std::function<void(const std::string&)>& write) {
    if (listed_) throw ioException{path, ioException::writing, "the save is already committed"};
    if (firstPath_.empty()) firstPath_ = path;
    const std::string resolved = finalTarget(path);
    if (resolved.empty()) throw ioException{path, ioException::opening, "cannot follow the symbolic link"};
    if (const char* reason = refusal(resolved, readOnly_)) throw ioException{path, ioException::writing, reason};
    const std::string name = nameOf(resolved);
    if (!plainName(name)) throw ioException{path, ioException::opening, "a name the save keeps for itself"};
    Folder& folder = folderFor(prefixOf(resolved), path);
    if (path != resolved) folder.shown[name] = path;
    const std::string stagedPrefix = folder.staging + "/";
    const std::string stagedMain = stagedPrefix + name;
    try {
        write(stagedMain);
    } catch (ioException& e) {
        broken_ = true;
        if (e.path == stagedMain)
            e.path = path;
        else if (e.path.starts_with(stagedPrefix))
            e.path = folder.shownPath(e.path.substr(stagedPrefix.size()));
        throw;
    } catch (...) {
        broken_ = true;
        throw;
    }
    recordMade(folder, name, path);
}

void SaveSet::commit() {
    if (listed_) return;
    if (broken_) throw ioException{firstPath_, ioException::writing, "a file of the save could not be written"};
    // One rename replaces a single file at once: it needs no list, and no flush that a
    // caller writing many single files (snapshots, settings) would wait for.
    const bool several = order_.size() > 1;
    // Every target is checked and every staged file made durable before the first list is
    // written, so a refusal replaces nothing.
    std::vector<std::string> ownerChanges;
    for (const Staged& file : order_) {
        const std::string target = file.folder->prefix + file.name;
        const std::string staged = file.folder->staging + "/" + file.name;
        const std::string shown = file.folder->shownPath(file.name);
        if (const char* reason = refusal(target, readOnly_)) throw ioException{shown, ioException::writing, reason};
        bool ownerKept = true;
        if (!keepAttributes(staged, target, ownerKept))
            throw ioException{shown, ioException::writing, "cannot keep the file's permissions"};
        if (!ownerKept) ownerChanges.push_back(shown);
        if (several && !sync(staged))
            throw ioException{shown, ioException::writing, storageFailure(errno, "cannot flush the file to the disk")};
    }
    if (several) {
        stopAt("staged");
        for (const auto& folder : folders_) {
            const std::string shown = folder->names.empty() ? firstPath_ : folder->shownPath(folder->names.front());
            const std::string draft = folder->staging + "/" + listDraftName;
            const std::string text = listText(folder->names);
            UniqueFd fd(::open(draft.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            const auto listFailure = [&shown](int error) {
                return ioException{shown, ioException::writing, storageFailure(error, "cannot write the list of renames")};
            };
            if (!fd) throw listFailure(errno);
            const bool written = writeAll(fd.get(), text.data(), text.size()) && ::fsync(fd.get()) == 0;
            const int writeError = errno;
            if (!written) throw listFailure(writeError);
            if (!fd.close()) throw listFailure(errno);
            if (std::rename(draft.c_str(), (folder->staging + "/" + listName).c_str()) != 0 ||
                !sync(folder->staging))
                throw listFailure(errno);
        }
    }
    // From here on the save is decided: what is not renamed now is renamed by the next
    // open or save in the folder.
    for (const auto& folder : folders_) folder->listed = several;
    listed_ = true;
    if (several) stopAt("listed");

    // The renames, one pass with nothing else between them, in the order the files were
    // made: a writer makes the file a reader starts from (the scene file) last, so it never
    // names a file that is still the old one. Another program sees some files new and some
    // old only for the length of this pass.
    struct Rename {
        std::string from;
        std::string to;
    };
    std::vector<Rename> renames;
    renames.reserve(order_.size());
    for (const Staged& file : order_)
        renames.push_back({file.folder->staging + "/" + file.name, file.folder->prefix + file.name});
    const std::size_t stopAfter = several ? renamesBeforeStop() : 0;
    std::size_t renamed = 0;
    while (renamed < renames.size() && std::rename(renames[renamed].from.c_str(), renames[renamed].to.c_str()) == 0)
        if (++renamed == stopAfter) ::raise(SIGSTOP);

    std::optional<ioException> failure;
    if (renamed < renames.size()) {
        // The rest stays listed for the next open or save, which renames it in order.
        const Staged& failed = order_[renamed];
        failure = ioException{failed.folder->shownPath(failed.name), ioException::writing,
                              "cannot rename the written file into place"};
    }
    for (const auto& folder : folders_) {
        bool done = true;
        for (std::size_t i = renamed; i < order_.size() && done; ++i) done = order_[i].folder != folder.get();
        if (!done) continue;
        const std::string parent = folder->prefix.empty() ? std::string(".") : folder->prefix;
        if (several && !sync(parent) && !failure)
            failure = ioException{firstPath_, ioException::writing, "cannot flush the folder to the disk"};
        std::error_code ignored;
        fs::remove_all(folder->staging, ignored);
    }
    if (failure) throw *failure;
    if (!ownerChanges.empty()) {
        std::string text = "These files belonged to another user and are now yours (only the superuser may "
                           "write a file that stays another user's):";
        for (const std::string& name : ownerChanges) text += "\n" + name;
        showMessage(text);
    }
}

void checkWritablePath(const std::string& path, bool folderMustExist) {
    if (const char* reason = unreplaceable(path)) throw ioException{path, ioException::writing, reason};
    if (!folderMustExist) return;
    const std::string prefix = prefixOf(path);
    struct stat status {};
    if (!prefix.empty() && (::stat(prefix.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)))
        throw missingFolder(path, prefix);
}

bool isReadOnlyFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    if (::geteuid() == 0) return (status.st_mode & 0222) == 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

bool isReadOnlyRefusal(const ioException& e) {
    return e.reason != nullptr && std::string_view(e.reason) == readOnlyReason;
}

void finishStaleSaves(const std::string& folder) {
    const std::string prefix = folder.empty() ? std::string() : folder.ends_with('/') ? folder : folder + "/";
    std::error_code error;
    fs::directory_iterator entries(folder.empty() ? fs::path(".") : fs::path(folder), error);
    if (error) return;
    std::vector<std::string> stale;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        const pid_t owner = stagingOwner(name);
        if (owner < 0) continue;
        struct stat status {};
        if (::lstat((prefix + name).c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != ::geteuid())
            continue;
        if (!stillRunning(owner, name)) stale.push_back(name);
    }
    for (const std::string& name : stale) {
        const std::string staging = prefix + name;
        const std::string list = staging + "/" + listName;
        struct stat status {};
        const bool hasList = ::lstat(list.c_str(), &status) == 0;
        if (hasList) {
            const std::optional<std::vector<std::string>> names = readList(list);
            if (!names) continue;  // not a list this program wrote: not ours to guess at
            if (!renameAll(staging, prefix, *names)) continue;
            sync(prefix.empty() ? std::string(".") : prefix);
        }
        std::error_code ignored;
        fs::remove_all(staging, ignored);
    }
}
