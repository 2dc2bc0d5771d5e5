#pragma once
#include <memory>

#include "image/bgr_image.h"

class FaceContext;  // platform/egl_context.h: the off-screen OpenGL context of one face

// A face: a BGRImage on the heap with an off-screen OpenGL context of its own, so that
// OpenGL can draw into the face's pixels. Faces created with a partner share display lists
// and textures with the partner's context.
class GLDIBImage : public BGRImage {
public:
    // All pixels white (0xFF). Reports "GLDIBImage: couldn't create DIB" when the context
    // cannot be made; the face then stays a plain in-memory image.
    explicit GLDIBImage(Size size, GLDIBImage* partner = nullptr);
    ~GLDIBImage() override;

    // Makes the face the current drawing target of this thread and puts its pixels in it.
    // Returns false when the face has no context.
    bool makeCurrent();
    // Waits for the drawing to finish and writes what was drawn back into the pixels.
    void finishDrawing();

    bool hasContext() const { return context_ != nullptr; }
    const FaceContext* context() const { return context_.get(); }

    // Whether the projection's drawing state has been set up in this face's context; a
    // face made after the last set-up (a resize, a load) has not.
    bool drawingStateReady() const { return drawingStateReady_; }
    void setDrawingStateReady() { drawingStateReady_ = true; }

private:
    std::unique_ptr<std::uint8_t[]> storage_;
    std::unique_ptr<FaceContext> context_;
    bool drawingStateReady_ = false;
};
