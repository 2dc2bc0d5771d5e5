#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "image/bgr_image.h"

class DocumentQuestions;  // panorama/document_questions.h: the questions save and open ask
struct Quaternion;        // view/geometry.h

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
    // operation fails; the int results are 1 for done, 0 for cancelled or failed.
    virtual int write();
    virtual int save(DocumentQuestions& questions);
    virtual int saveAs(DocumentQuestions& questions);
    virtual void load(const char* path, int openRow);
    virtual int open(DocumentQuestions& questions);
    virtual int querySaveChanges(DocumentQuestions& questions);

    Size faceSize(int i) const;
    // Resamples every face of another size to size (nearest neighbour); others are kept.
    void resizeFaces(Size size);

    std::int32_t modified = 0;
    std::array<std::unique_ptr<BGRImage>, faceCount> faces;
    std::unique_ptr<char[]> title;
    std::string fileName;
    std::int32_t layout = -1;
};

// The panorama the application creates: a SixImage that also carries the camera of the
// view being painted and the view buffer whose alpha byte marks the changed pixels.
class PaintedSixImage : public SixImage {
public:
    PaintedSixImage(Size sideSize, Size capSize);
    PaintedSixImage();
    ~PaintedSixImage() override;

    // Both first project pending paint onto the faces.
    int write() override;
    int save(DocumentQuestions& questions) override;

    void setHeading(float a) { heading = a; }
    void setPitch(float a) { pitch = a; }
    void setFOV(FieldOfView fov) {
        fovX = fov[0];
        fovY = fov[1];
    }
    FieldOfView getFOV() const { return {fovX, fovY}; }

    // The field of view in which one view pixel at the centre covers one face pixel of
    // face 0, and back (view/nominal_view.cpp). Zeros when face 0 or the input is empty.
    FieldOfView calculateNominalFOV(Size size) const;
    Size calculateNominalSize(FieldOfView fov) const;

    // The view buffer (view/render_view.cpp).
    void allocateView(Size size);
    void refreshView(Size size);
    void renderView(Point origin, Size size, Size fullSize, int bytesPerPixel, std::uint8_t* buffer);
    void renderViewToImage(float viewHeading, float viewPitch, FieldOfView fov, BGRImage& image) const;
    void saveViewFile(const char* path) const;

    // Painted pixels back onto the faces (view/paint_back.cpp).
    void maskFirstRow();
    void maskCorners();
    void acceptPaintedRect(Point origin, Size size, Size fullSize, int bytesPerPixel,
                           const std::uint8_t* pixels);
    void acceptPaintedFile(const char* path);
    void applyPaint();
    void paintFace(const Quaternion& viewRotation, const Quaternion& faceRotation, Size size);

    std::uint32_t viewBytesPerPixel = 4;
    std::int32_t viewWidth = 0;
    std::int32_t viewHeight = 0;
    std::unique_ptr<std::uint8_t[]> viewPixels;  // R, G, B, A; rows top-down; no padding
    float heading = 0;
    float pitch = 0;
    float fovX = 0;
    float fovY = 0;
    std::int32_t paintPending = 0;
    std::int32_t faceSetupNeeded = 1;
};
