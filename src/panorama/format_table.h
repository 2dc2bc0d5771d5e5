#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "image/image_io.h"

// How a layout stores the six faces.
enum LayoutKind : int {
    VrmlBackground = 0,  // six faces + VRML Background scene ".wrl"
    IvrBackground = 1,   // six faces + VRML Background scene ".ivr"
    IvrSphere = 2,       // one equirectangular image + Vista scene "SPHERE"
    IvrCubeStrip = 3,    // one vertical strip of the six faces + Vista scene "CUBE"
    ThreeDStudio = 4,    // six faces, Front and Back exchanged
    QuakeSky = 5,        // six faces, Front and Back exchanged, Up and Down turned a quarter
    BryceCylinder = 6,   // one cylindrical image, read only, 60 degrees proposed
    QtvrCylinder = 7,    // one cylindrical image, read only, field of view from the aspect
    SphericalPhoto = 8,  // one equirectangular photo (or a strip of the six faces), nothing beside it
    SkyBox = 9,          // as QuakeSky, with an underscore before the face names
    SceneFile = 10,      // a ".wrl" or ".ivr" scene naming the pictures of a layout above, open only
    WebPage = 11,        // six faces + an HTML page showing them in a WebGL viewer
};

// Indexed by face index (Front, Back, Left, Right, Up, Down).
extern const std::array<const char*, 6> faceSuffixes;
extern const std::array<const char*, 6> quakeSuffixes;
extern const std::array<const char*, 6> vrmlUrlKeys;
// Strip cell i, counted from the first stored (bottom) row, holds face cubeStripOrder[i].
extern const std::array<int, 6> cubeStripOrder;

// Shows a layout's modal options dialog; parent is the window program's window.
using OptionsDialog = void (*)(void* parent);
// The PCX options dialog of "QuakeII, Targa & PCX"; the window program fills it in.
extern OptionsDialog pcxOptionsDialog;
// The JPEG options dialog of the layouts writing JPEG faces, backgrounds, strips and
// spheres; the window program fills it in.
extern OptionsDialog jpegOptionsDialog;

// How many characters at the end of name match an alternative of pattern ("*_FR.tga",
// "*ft.pcx;*ft.tga"), ignoring case; 0 when none does. An alternative beginning with a
// front suffix ("_FR", "ft") also matches the other five faces' suffixes. The first
// alternative that matches wins.
int matchLength(std::string_view name, std::string_view pattern);

// The file-name part of a path: the text after its last '/'.
std::string_view fileNamePart(std::string_view path);
// The folder of a path, without the separator; empty for a bare name.
std::string folderPart(std::string_view path);

// The name of the directory entry that path stands for: the path's own file-name part
// when it exists, else the first entry of its folder equal to it ignoring case, the way a
// case-insensitive file system would find it. Empty when there is neither.
std::optional<std::string> findFileName(const std::string& path);
// path itself when it exists, else the entry findFileName finds in the same folder.
std::string resolveFileName(const std::string& path);

// The catalogue of panorama layouts: the Open dialog's rows and the Save-as dialog's rows.
class FormatTable {
public:
    static constexpr int capacity = 20;

    struct OpenRow {
        const char* openPattern = nullptr;
        const char* displayName = nullptr;
        ImageReader reader = nullptr;
        LayoutKind kind = VrmlBackground;
        int openToSave = -1;  // save row of the same layout
    };
    struct SaveRow {
        const char* savePattern = nullptr;
        const char* displayName = nullptr;
        ImageWriter writer = nullptr;
        // Address of the dialog hook, null for a layout without options.
        const OptionsDialog* optionsDialog = nullptr;
        LayoutKind kind = VrmlBackground;
        const char* faceExtension = nullptr;  // image extension of the scene-file layouts
        int saveToOpen = -1;                  // open row of the same layout
    };

    // Appends an open row when reader (or the kind SceneFile, whose pictures the rows they
    // name read) and openPattern are given, a save row when writer and savePattern are
    // given, and links the two. Rows beyond the capacity are dropped.
    void addRow(const char* openPattern, const char* savePattern, const char* faceExtension,
                const char* displayName, ImageReader reader, ImageWriter writer,
                const OptionsDialog* optionsDialog, LayoutKind kind);

    int openCount() const { return openCount_; }
    int saveCount() const { return saveCount_; }
    const OpenRow& openRow(int i) const { return openRows_[i]; }
    const SaveRow& saveRow(int i) const { return saveRows_[i]; }
    bool validOpenRow(int i) const { return i >= 0 && i < openCount_; }
    bool validSaveRow(int i) const { return i >= 0 && i < saveCount_; }

    // The open row whose pattern matches the name (or the directory entry it stands for)
    // longest, the first of equals, except that a spherical photo row wins among equals;
    // -1 for none.
    int bestOpenRow(const std::string& name) const;
    // The save row whose pattern matches longest: the first of equals, with tie telling
    // that another row matches as long; row -1 when none matches.
    struct RowMatch {
        int row = -1;
        bool tie = false;
        bool none() const { return row < 0; }
        bool unique() const { return row >= 0 && !tie; }
    };
    RowMatch bestSaveRow(const std::string& name) const;
    // How many characters at the end of name are one of save row saveIndex's own endings,
    // ignoring case: what its pattern matches, a face file's suffix and picture extension,
    // a face suffix beginning with '_', or an extension of the files it writes; 0 for none.
    int ownEndingLength(std::string_view name, int saveIndex) const;
    // The save row a name typed with row chosen selected is written in: another row only
    // when the name is not chosen's by its pattern and fits that row alone, by a longer
    // ending than any of chosen's own.
    int typedSaveRow(const std::string& name, int chosen) const;
    // name without its save row's own ending (ownEndingLength); saveIndex -1 picks the
    // row, so that "sky.tga" and "skyft.tga" both name the sky box "sky".
    std::string saveBase(const std::string& name, int saveIndex) const;
    // The picked file's base name for an open row; openIndex -1 picks the row.
    std::string openBase(const std::string& name, int openIndex) const;

    // The type lists of the file dialogs, "name|pattern|name|pattern", grown with every
    // row. The save list carries the patterns without their face extensions.
    const std::string& openFilter() const { return openFilter_; }
    const std::string& saveFilter() const { return saveFilter_; }

private:
    std::array<OpenRow, capacity> openRows_{};
    std::array<SaveRow, capacity> saveRows_{};
    int openCount_ = 0;
    int saveCount_ = 0;
    std::string openFilter_;
    std::string saveFilter_;
};

// The one table of the program, built before main runs.
const FormatTable& formatTable();
