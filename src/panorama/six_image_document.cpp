// The document operations until saving and opening in the panorama layouts land: they
// say so and change nothing.
#include "panorama/six_image.h"
#include "platform/message.h"

namespace {
int unavailable() {
    showMessage("Saving and opening panoramas is not available in this build.");
    return 0;
}
}  // namespace

int SixImage::write() { return unavailable(); }
int SixImage::save(DocumentQuestions&) { return unavailable(); }
int SixImage::saveAs(DocumentQuestions&) { return unavailable(); }
void SixImage::load(const char*, int) { unavailable(); }
int SixImage::open(DocumentQuestions&) { return unavailable(); }
int SixImage::querySaveChanges(DocumentQuestions&) { return 1; }
