#pragma once
#include <memory>
#include <string>
#include <vector>

#include "panorama/face_patch.h"
#include "panorama/six_image.h"
#include "view/view_buffer.h"

// The panorama the application creates: a SixImage that also holds the view being painted,
// whose pending paint reaches the faces before they are written.
class PaintedSixImage : public SixImage {
public:
    PaintedSixImage(Size sideSize, Size capSize);
    PaintedSixImage();
    ~PaintedSixImage() override;

    // Both first project pending paint onto the faces.
    int write() override;
    int save(DocumentQuestions& questions) override;

    // Projects the view's pending paint onto the faces (paint_back.h); with undo, adds the
    // patches that undo it. False when no paint was pending.
    bool applyPaint(std::vector<FacePatch>* undo = nullptr);

    ViewBuffer view;
};

// A new panorama read from the template of that name in the "TemplatePath" folder, or
// null after saying "Could not open template ...".
std::unique_ptr<PaintedSixImage> openTemplate(DocumentQuestions& questions, const std::string& templateName);
