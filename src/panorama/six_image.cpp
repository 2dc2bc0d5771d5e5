#include "panorama/six_image.h"

#include "image/gl_dib_image.h"

SixImage::SixImage(Size sideSize, Size capSize) {
    auto first = std::make_unique<GLDIBImage>(sideSize);
    GLDIBImage* partner = first.get();
    faces[Front] = std::move(first);
    for (int i = 1; i < faceCount; ++i)
        faces[i] = std::make_unique<GLDIBImage>(i < Up ? sideSize : capSize, partner);
}

SixImage::SixImage() = default;

SixImage::~SixImage() {
    title.reset();
    for (auto& face : faces) face.reset();
}

Size SixImage::faceSize(int i) const {
    if (i < 0 || i >= faceCount || !faces[i]) return {0, 0};
    return faces[i]->size();
}

std::array<Size, faceCount> SixImage::faceSizes() const {
    std::array<Size, faceCount> sizes{};
    for (int i = 0; i < faceCount; ++i) sizes[i] = faceSize(i);
    return sizes;
}

std::array<std::unique_ptr<BGRImage>, faceCount> SixImage::resizeFaces(Size size) {
    // Every new face is made before any old one goes, so that a failed allocation leaves
    // the panorama as it was.
    std::array<std::unique_ptr<GLDIBImage>, faceCount> resized;
    for (int i = 0; i < faceCount; ++i) {
        if (faces[i] && faces[i]->size() == size) continue;
        // Face 0 as it will be: when it is being replaced, the new one.
        GLDIBImage* partner =
            i == 0 ? nullptr : resized[0] ? resized[0].get() : dynamic_cast<GLDIBImage*>(faces[0].get());
        resized[i] = std::make_unique<GLDIBImage>(size, partner);
        if (faces[i] && faces[i]->pixels != nullptr && resized[i]->pixels != nullptr)
            resized[i]->copyScaled(*faces[i], {0, 0}, faces[i]->size(), {0, 0}, size);
    }
    std::array<std::unique_ptr<BGRImage>, faceCount> replaced;
    for (int i = 0; i < faceCount; ++i)
        if (resized[i]) {
            replaced[i] = std::move(faces[i]);
            faces[i] = std::move(resized[i]);
        }
    faceChanges.markAll();
    return replaced;
}
