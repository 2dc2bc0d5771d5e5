#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The "PREFSDIALOG" dialog's state and behaviour, so that the window only shows it: the
// texts read when it opens, and what OK writes and copies.
class PreferencesModel {
public:
    // Reads "PaintApp", "PluginPath" (each reported when missing) and "shiftAmount".
    PreferencesModel();

    // The texts of the edit boxes 1047 (paint program), 1048 (plug-in folder) and 1049
    // (rotation in degrees), as the window shows and edits them.
    std::string paintApp, pluginPath, rotation;

    // Where the paint program's browser starts: the folder of the current text (of the
    // program PATH finds for a bare name), and its file name.
    std::string paintBrowseFolder() const;
    std::string paintBrowseFileName() const;
    // A file chosen in the browser: taken into paintApp when it is an executable file;
    // otherwise refused with a message, false.
    bool paintProgramChosen(const std::string& path);

    // GIMP's plug-in folder, when its user folder exists and that folder is not the one
    // in pluginPath already; empty otherwise.
    std::string gimpFolderOffered() const;

    // "Use Krita's folder": Krita's plug-in folder when Krita's user folder exists, else
    // empty. Choosing it (useKrita) installs the Krita plug-in there at OK.
    std::string kritaFolderOffered() const;
    bool useKrita = false;

    // OK: writes what changed and installs the plug-ins when the folder changed (or the
    // installed ones are out of date). false when the paint program named cannot be
    // started or the plug-in folder is not a full path: refused with a message, nothing
    // written, the dialog stays.
    bool ok();

private:
    std::string paintAppRead_, pluginPathRead_, rotationShown_;
};

// The five plug-in programs, in the order they are copied.
extern const std::array<const char*, 5> pluginFiles;

// folder with a final "/" ("" becomes "/").
std::string completeFolder(std::string folder);
// Two folders are one when both exist and are the same directory, otherwise when their
// texts are equal once completed. Case counts: Linux folders differ by case.
bool sameFolder(const std::string& a, const std::string& b);
// The rotation text as whole degrees when it is a decimal number above 5 and below 180.
std::optional<std::uint32_t> parseRotation(const std::string& text);

// GIMP 2.10's user folder: $GIMP2_DIRECTORY (relative to the home folder unless
// absolute), else GIMP/2.10 in the user's configuration folder.
std::string gimpProfileFolder();
// $XDG_STATE_HOME/domecast/Install.log (default ~/.local/state/...).
std::string installLogPath();

enum class InstallResult {
    installed,    // the five files copied, "PluginPath" written
    sameFolder,   // the target is the source: "PluginPath" written, nothing copied
    notStarted,   // nothing copied, nothing written ("DomecastPath" missing, GIMP not set up)
    failed,       // a copy failed and was reported; "PluginPath" unchanged
};

// Copies the five plug-ins from source (the installed folder) into target (the text the
// user gave), creating target and logging what it made to installLogPath(); on success
// writes target as "PluginPath" and the program's folder as "DomecastPath".
InstallResult installPlugins(const std::string& source, const std::string& target);

// Whether source holds all five plug-ins and target lacks one of them or holds another
// version of it.
bool installedPluginsDiffer(const std::string& source, const std::string& target);
