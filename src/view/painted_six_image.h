#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "panorama/six_image.h"

struct Quaternion;  // panorama/geometry.h

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
    // face 0, and back (nominal_view.cpp). Zeros when face 0 or the input is empty.
    FieldOfView calculateNominalFOV(Size size) const;
    Size calculateNominalSize(FieldOfView fov) const;

    // The view buffer (render_view.cpp). The renders split their rows into ranges for the
    // shared threads (threads 0: a few per hardware thread); the result does not depend on
    // the split.
    void allocateView(Size size);
    void refreshView(Size size);
    void renderView(Point origin, Size size, Size fullSize, int bytesPerPixel, std::uint8_t* buffer,
                    int threads = 0);
    void renderViewToImage(float viewHeading, float viewPitch, FieldOfView fov, BGRImage& image,
                           int threads = 0) const;
    // The frame shown while the view turns: the view at half resolution ((width + 1) / 2
    // x (height + 1) / 2, the rays renderViewToImage casts for that size), each pixel
    // written as a 2 x 2 block of image, in one pass over image.
    void renderHalfViewToImage(float viewHeading, float viewPitch, FieldOfView fov, BGRImage& image,
                               int threads = 0) const;
    // The same two renders into rows of 3 or 4 bytes a pixel in any order in memory (the
    // window's shared frame); bytes past the third of a pixel are padding.
    void renderViewToRows(float viewHeading, float viewPitch, FieldOfView fov, const PixelRows& rows,
                          int threads = 0) const;
    void renderHalfViewToRows(float viewHeading, float viewPitch, FieldOfView fov, const PixelRows& rows,
                              int threads = 0) const;
    void saveViewFile(const char* path) const;

    // Painted pixels back onto the faces (paint_back.cpp).
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

// A new panorama read from the template of that name in the "TemplatePath" folder, or
// null after saying "Could not open template ...".
std::unique_ptr<PaintedSixImage> openTemplate(DocumentQuestions& questions, const std::string& templateName);
