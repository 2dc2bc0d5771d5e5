#pragma once
#include <memory>

#include "image/bgr_image.h"

class FaceContext;  // platform/egl_context.h: the off-screen OpenGL context of one face

struct FaceShareGroup;

// A face: a BGRImage on the heap with an off-screen OpenGL context of its own, so that
// OpenGL can draw into the face's pixels. Faces created with a partner share display lists
// and textures with the partner's context.
//
// The context is made when the face is first drawn into, not with the face: opening,
// converting and saving never draw, and a context costs a framebuffer as large as the
// face (and, for the first face of the process, loading the OpenGL driver).
class GLDIBImage : public BGRImage {
public:
    // All pixels white (0xFF).
    explicit GLDIBImage(Size size, GLDIBImage* partner = nullptr);
    ~GLDIBImage() override;

    // Makes the face the current drawing target of this thread and puts its pixels in it,
    // making its context first if it has none yet. Returns false when the face has no
    // context: the first failure to make one reports "GLDIBImage: couldn't create DIB",
    // and the face stays a plain in-memory image.
    bool makeCurrent();
    // The same for the rectangle from origin (counted from the bottom-left, as the rows
    // are), clipped to the face: the framebuffer holds only its pixels, its corner at the
    // rectangle's, and drawing in face coordinates sets its viewport with drawingOrigin.
    bool makeCurrent(Point origin, Size size);
    // Waits for the drawing to finish and writes what was drawn back into the pixels of
    // the rectangle the last makeCurrent was given.
    void finishDrawing();
    // Where the framebuffer's corner lies on the face.
    Point drawingOrigin() const { return origin_; }

    // Whether the context has been made (by a makeCurrent).
    bool hasContext() const { return context_ != nullptr; }
    const FaceContext* context() const { return context_.get(); }

    // Whether the projection's drawing state has been set up in this face's context; a
    // face made after the last set-up (a resize, a load) has not.
    bool drawingStateReady() const { return drawingStateReady_; }
    void setDrawingStateReady() { drawingStateReady_ = true; }

private:
    PixelStorage storage_;
    // Keeps the context the group's faces share with alive as long as any of them.
    std::shared_ptr<FaceShareGroup> group_;
    std::unique_ptr<FaceContext> context_;
    bool contextFailed_ = false;
    Point origin_;
    Size area_;
    bool drawingStateReady_ = false;
};
