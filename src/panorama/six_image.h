#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/jpeg_face_options.h"
#include "image/jpeg_blocks.h"
#include "image/photo_metadata.h"
#include "panorama/face_changes.h"
#include "panorama/unread_faces.h"
#include "panorama/web_page.h"

class DocumentQuestions;  // panorama/document_questions.h: the questions save and open ask

// The picture a panorama was made from, kept so that saving back to it writes its own
// pixels wherever the faces seen there have not changed.
struct PhotoSource {
    std::unique_ptr<RawImage> picture;
    std::string path;    // the file it was read from
    bool strip = false;  // a vertical strip of the six faces, not a sphere
    PhotoMetadata metadata;
    // The user agreed that a save keeps 8 bits a channel of a picture that had more or
    // had transparency (metadata.lostAt8Bits).
    bool eightBitsAccepted = false;
    // A JPEG's coefficients, when its blocks can be written back as they are.
    std::unique_ptr<JpegBlocks> jpegBlocks;
};

// A spherical or cylindrical picture whose faces are made only where asked for
// (panorama/sphere.h: fillFaceRegions).
struct UnconvertedPicture {
    std::unique_ptr<RawImage> own;  // a cylinder's picture; a sphere's stays in photoSource
    const RawImage* picture = nullptr;
    bool cylinder = false;
    double bottom = 0;  // radians
    double top = 0;
};

// What opening path, whose picture had lost (PhotoMetadata::lostAt8Bits) beyond 8-bit
// colour, tells the user; and the question a save of it asks first.
std::string eightBitNotice(const std::string& path, const std::string& lost);
std::string eightBitQuestion(const std::string& path, const std::string& lost);

// Horizontal and vertical field of view, radians.
using FieldOfView = std::array<float, 2>;

enum FaceIndex : int { Front = 0, Back = 1, Left = 2, Right = 3, Up = 4, Down = 5 };
constexpr int faceCount = 6;

// The panorama: six square faces seen from the cube's centre, and the file they belong to.
class SixImage {
public:
    // Faces 0-3 get the first size, 4 and 5 the second; all white. Face 0 has a context
    // of its own, faces 1-5 share objects with it.
    SixImage(Size sideSize, Size capSize);
    // Six null faces: a document about to be loaded.
    SixImage();
    virtual ~SixImage();
    SixImage(const SixImage&) = delete;
    SixImage& operator=(const SixImage&) = delete;

    // The document operations, in this slot order. They throw ioException where a file
    // operation fails (panorama/six_image_save.cpp, six_image_open.cpp).
    // Writes the faces (and the scene file when there is none) under fileName in layout,
    // a save row of the format table. Returns 0. An existing file the user may not write
    // is refused (readOnlyReason), with nothing written, unless replaceReadOnlyFiles.
    virtual int write();
    // write under the wait cursor, or saveAs when there is no name or layout. 0 when
    // written, 1 when the user cancelled. A file of the save that is read-only is replaced
    // only when the user says so (askReplaceReadOnly); else nothing is written and 1 is
    // returned.
    virtual int save(DocumentQuestions& questions);
    // Asks for a name and layout, then saves. 0 when written, 1 when cancelled.
    virtual int saveAs(DocumentQuestions& questions);
    // Reads path in the layout of open row openRow (-1: recognised from the name) into
    // this panorama, constructed empty. Leaves fileName, layout and title alone. Returns 0.
    // Face files it could not use are listed in unreadFaces for the caller to report.
    virtual int load(DocumentQuestions& questions, int openRow, const std::string& path);
    // Asks for a file, then loads it. From a template the panorama stays unnamed. 0 when
    // opened, 1 when the user cancelled.
    virtual int open(DocumentQuestions& questions, bool fromTemplate = false);
    // The title, save layout and file name that opening path in open row openRow (-1:
    // recognised from the name) gives, unmodified; Save then writes back where it came
    // from. Nothing changes when no row fits.
    void nameAfter(const std::string& path, int openRow);
    // Asks whether to save unsaved changes: 0 when the caller may continue, 1 when it
    // must stop.
    virtual int querySaveChanges(DocumentQuestions& questions);

    // The sink of face files: user data is a FaceSlot; makes a white face of the picture's
    // size sharing objects with the first face present.
    static void faceSink(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride,
                         int& bytesPerPixel, std::uint8_t*& pixels);
    // The sink of single panorama images: user data is a std::unique_ptr<RawImage> to fill.
    static void rawSink(Size size, int bytesPerPixelHint, void* userData, std::uint32_t& stride,
                        int& bytesPerPixel, std::uint8_t*& pixels);
    // Writes face turned a quarter (as seen with row 0 at the bottom) and turns it back; a
    // face that is not square is first scaled to a square.
    enum class QuarterTurn { clockwise, counterClockwise };
    // A JPEG writer encodes it with jpeg.
    static void writeTurnedFace(BGRImage& face, ImageWriter writer, const std::string& path, QuarterTurn turn,
                                const JpegFaceEncoding& jpeg = {});
    // The encoding of this panorama's JPEG faces: the settings, under the overrides.
    JpegFaceEncoding faceJpegEncoding() const;

    // Where faceSink puts the face it makes.
    struct FaceSlot {
        SixImage& panorama;
        int index;
    };

    // The faces as one spherical picture, 4N x 2N for faces of side N; with ownSize, at
    // the size of a picture of N x 4 columns it was made from. Where that picture has the
    // same size and the faces it sees are unchanged, its own pixels.
    // write is given it while it is being made: a writer that takes rows from the top and
    // waits at the RowGate open on its thread (JPEG, PNG) starts on the top rows at once;
    // for any other, rowsFromTop is false and the picture is whole first.
    void writeSphere(bool ownSize, bool rowsFromTop, const std::function<void(const BGRImage& sphere)>& write) const;
    // Writes the faces to path over the JPEG they were made from, at its size, with only
    // the blocks that see a changed face pixel encoded anew (SaveJPEGBlocks). False, with
    // nothing written, when that cannot be done: another source, another size, faces
    // not tracked since the open.
    bool writeBlockExactPhoto(const std::string& path);

    Size faceSize(int i) const;
    std::array<Size, faceCount> faceSizes() const;
    // Resamples every face of another size to size (nearest neighbour); others are kept.
    // Every face counts as changed afterwards. Returns the faces replaced (null where kept).
    std::array<std::unique_ptr<BGRImage>, faceCount> resizeFaces(Size size);

    std::int32_t modified = 0;
    // Whether write replaces existing files the user may not write (domecast-cli --force).
    bool replaceReadOnlyFiles = false;
    // The direction a "Web page, cube faces" save opens its page at; whoever saves sets it
    // to the view shown (the editor before each save, domecast-cli from --heading, --pitch).
    PageView pageView;
    // What a save's JPEG faces, backgrounds, strips and spheres are encoded with, where
    // set, over the settings (readJpegFaceEncoding): domecast-cli's --jpeg-quality and
    // --jpeg-subsampling.
    std::optional<int> faceJpegQuality;
    std::optional<JpegChroma> faceJpegChroma;
    std::array<std::unique_ptr<BGRImage>, faceCount> faces;
    std::unique_ptr<char[]> title;
    std::string fileName;
    std::int32_t layout = -1;
    // Set by a load from one spherical picture or strip; faceChanges tracks the faces
    // since then.
    std::unique_ptr<PhotoSource> photoSource;
    // Set by a load from a web page: each face JPEG's coefficients (null where they cannot
    // be written back as they are), so that a save into a page with the face at its own
    // size keeps every block faceChanges leaves alone.
    std::array<std::unique_ptr<JpegBlocks>, faceCount> pageFaceBlocks;
    FaceChanges faceChanges;
    // Set by a load from a web page: the direction the page opens at, which the window
    // turns to (a load also makes it the pageView).
    std::optional<PageView> openedView;
    // The face files the last load looked for and could not use, whose faces it left white.
    std::vector<UnreadFace> unreadFaces;
    // Set before a load: a spherical or cylindrical picture is kept as unconverted, its
    // faces left white, for a caller that needs only part of them.
    bool facesOnDemand = false;
    // Set before a load: a JPEG photo's blocks are read for a save back to a JPEG photo,
    // a web page's face blocks for a save into a page.
    // A caller that will write only other layouts clears it, and so saves their memory
    // (2 to 6 bytes a pixel, as much as the picture itself) and the time to read them.
    bool keepPhotoBlocks = true;
    std::unique_ptr<UnconvertedPicture> unconverted;
};
