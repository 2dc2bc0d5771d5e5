#pragma once
#include <memory>
#include <string>

#include "platform/image_types.h"

struct UndoStep;  // shell/undo_history.h

class DocumentQuestions;
class PaintLink;
class PaintedSixImage;

// The face size New Panorama offers, kept for the run; Choose size sets it to the current
// face size each time it opens.
extern Size newPanoramaSize;

// Replaces size by the text's leading number and the number of its last run of digits
// when both are within 32 to 2048 ("1024 x 1024", "1024x1024"); returns whether it did.
bool parseSizeText(const std::string& text, Size& size);

// bytes as megabytes of 1048576 with one decimal, "18.0".
std::string megabytes(double bytes);

// The "NEWDIALOG" dialog: the faces' size (edit 1044) and what six faces of it cost
// (static 1026).
class NewPanoramaModel {
public:
    enum Result { newEmpty = 1032, cancel = 1035, openTemplate = 1036 };

    // Fills the fields from newPanoramaSize, as the dialog does when it opens.
    NewPanoramaModel();

    const std::string& sizeText() const { return sizeText_; }      // edit 1044
    const std::string& memoryText() const { return memoryText_; }  // static 1026

    // Edit 1044 lost the focus with text in it: an unacceptable size brings the previous
    // one back.
    void sizeFocusLost(const std::string& text);

private:
    void show();

    std::string sizeText_;
    std::string memoryText_;
};

// The panorama that New Panorama's result stands for, or null. newEmpty makes white
// faces of newPanoramaSize and marks the link record as carrying an image for them;
// openTemplate asks for a template (its read failures are reported) and marks it as
// carrying none. link may be null when the editor has no link.
std::unique_ptr<PaintedSixImage> newPanoramaResult(int result, DocumentQuestions& questions, PaintLink* link);

// Whether six faces of this size are within the megapixel limit; when not, shows why
// ("Faces of W x H pixels are too large: ...") and answers false. (Whether memory holds
// them is the Resize dialog's own check.)
bool facesFitPixelBudget(Size face);

// The "GETSIZEFOV" dialog: the size of the picture handed to the paint program, and the
// field of view and memory that follow from it.
class ChooseSizeModel {
public:
    // Sets newPanoramaSize to faceSize; the canvas starts at suggested. zoom: the view's
    // horizontal field of view when the user zoomed (radians), else 0 for the nominal one.
    ChooseSizeModel(Size faceSize, Size suggested, float zoom = 0);

    std::string widthText() const;   // edit 1039 at opening
    std::string heightText() const;  // edit 1040 at opening
    // Button 1041 or an edit losing the focus: sizes from 9 to 19999 replace the canvas's,
    // others leave it as it was (the edits are not rewritten).
    void recalculate(const std::string& widthText, const std::string& heightText);

    const std::string& canvasText() const { return canvasText_; }  // static 1042
    const std::string& fovText() const { return fovText_; }        // static 1043, UTF-8
    const std::string& totalText() const { return totalText_; }    // static 1044
    Size canvas() const { return canvas_; }

private:
    void show();

    Size faceSize_;
    Size canvas_;
    float zoom_;
    std::string canvasText_;
    std::string fovText_;
    std::string totalText_;
};

// The "RESAMPLE" dialog: the faces' current and new size, and what each costs as faces
// and as an equirectangular picture of the same detail.
class ResizePanoramaModel {
public:
    enum Result { ok = 1, cancel = 2 };

    explicit ResizePanoramaModel(Size current);

    const std::string& currentFacesText() const { return currentFacesText_; }          // 1072
    const std::string& currentFacesMemory() const { return currentFacesMemory_; }      // 1082
    const std::string& currentSphericalText() const { return currentSphericalText_; }  // 1073
    const std::string& currentSphericalMemory() const { return currentSphericalMemory_; }  // 1081
    const std::string& newFacesMemory() const { return newFacesMemory_; }          // 1083
    const std::string& newSphericalText() const { return newSphericalText_; }      // 1074
    const std::string& newSphericalMemory() const { return newSphericalMemory_; }  // 1084
    std::string widthText() const;   // edit 1075
    std::string heightText() const;  // edit 1078
    bool constrained() const { return constrained_; }  // check box 1079
    void setConstrained(bool on) { constrained_ = on; }

    // Edit 1075 or 1078 lost the focus: its number becomes the new width or height and,
    // with proportions constrained, the other follows. Text that is no positive number
    // brings the previous value back.
    void widthFocusLost(const std::string& text);
    void heightFocusLost(const std::string& text);

    // "OK" with the edits' texts: true when the dialog ends. When the faces would not fit
    // in memory the size becomes the largest square that does, the fields are filled
    // again, "Insufficient memory; size reset" is shown and the dialog stays.
    bool okPressed(const std::string& widthText, const std::string& heightText);

    Size current() const { return current_; }
    Size newSize() const { return new_; }

private:
    void fill();
    void showNew();

    Size current_;
    Size new_;
    bool constrained_ = true;
    bool updating_ = false;  // a focus change caused by an update itself is not another edit
    std::string currentFacesText_, currentFacesMemory_, currentSphericalText_, currentSphericalMemory_;
    std::string newFacesMemory_, newSphericalText_, newSphericalMemory_;
};

// Resamples the panorama's faces to size under the wait cursor, then gives the view
// buffer its nominal field of view. Faces of another size mark the panorama modified.
// When the new faces cannot be allocated the old ones stay and "Not enough memory for
// %d x %d faces" is shown; returns whether the faces were resampled.
// With undo, a resize that changed the faces fills it with what undoes it.
bool resizePanoramaFaces(PaintedSixImage& panorama, Size size, DocumentQuestions& questions, UndoStep* undo = nullptr);
