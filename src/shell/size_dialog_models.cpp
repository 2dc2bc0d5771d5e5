#include "shell/size_dialog_models.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "image/pixel_budget.h"
#include "link/paint_link.h"
#include "panorama/document_questions.h"
#include "panorama/unread_faces.h"
#include "platform/io_exception.h"
#include "platform/memory_status.h"
#include "platform/message.h"
#include "platform/report.h"
#include "shell/undo_history.h"
#include "view/painted_six_image.h"

Size newPanoramaSize{512, 512};

namespace {
constexpr double megabyte = 1048576.0;
constexpr int smallestFace = 32, largestFace = 2048;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal conversion of the text from start: blanks, a sign, then digits up to the
// first other character; saturated so that huge numbers stay huge. digits says whether
// there was any.
long long leadingInteger(const std::string& text, std::size_t start, bool* digits = nullptr) {
    std::size_t i = start;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    const std::size_t first = i;
    constexpr long long most = std::numeric_limits<int>::max() + 1LL;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > most) value = most;
    }
    if (digits != nullptr) *digits = i > first;
    return negative ? -value : value;
}

// The whole text (blanks around it allowed) as a number; false for anything else.
bool wholeNumber(const std::string& text, long long& value) {
    bool digits = false;
    value = leadingInteger(text, 0, &digits);
    if (!digits) return false;
    std::size_t end = text.find_last_not_of(" \t");
    std::size_t i = text.find_first_not_of(" \t+-");
    while (i < text.size() && isDigit(text[i])) ++i;
    return end == std::string::npos || i > end;
}

std::string format(const char* pattern, auto... values) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

double faceBytes(Size size) { return 18.0 * size.width * size.height; }
// The equirectangular picture with the detail of faces this wide.
double sphericalBytes(int width) { return 4.0 * width * 2.0 * width * 3.0; }
int clampToInt(long long value) {
    return static_cast<int>(std::min<long long>(value, std::numeric_limits<int>::max()));
}
}  // namespace

bool parseSizeText(const std::string& text, Size& size) {
    if (text.size() < 2) return false;
    const long long first = leadingInteger(text, 0);
    std::size_t p = text.size() - 2;
    while (p > 0 && isDigit(text[p - 1])) --p;
    const long long second = leadingInteger(text, p);
    auto inRange = [](long long v) { return v >= smallestFace && v <= largestFace; };
    if (!inRange(first) || !inRange(second)) return false;
    size = {static_cast<int>(first), static_cast<int>(second)};
    return true;
}

std::string megabytes(double bytes) { return format("%.1f", bytes / megabyte); }

// --- New Panorama

NewPanoramaModel::NewPanoramaModel() { show(); }

void NewPanoramaModel::show() {
    sizeText_ = format("%d x %d", newPanoramaSize.width, newPanoramaSize.height);
    parseSizeText(sizeText_, newPanoramaSize);
    memoryText_ = "x 6  =  " + megabytes(faceBytes(newPanoramaSize)) + " MB";
}

void NewPanoramaModel::sizeFocusLost(const std::string& text) {
    parseSizeText(text, newPanoramaSize);
    show();
}

bool facesFitPixelBudget(Size face) {
    const std::uint64_t pixels =
        6 * static_cast<std::uint64_t>(std::max(face.width, 0)) * static_cast<std::uint64_t>(std::max(face.height, 0));
    if (withinMegapixelLimit(pixels)) return true;
    showMessage(format("Faces of %d x %d pixels are too large: six of them are ", face.width, face.height) +
                pixelBudgetText(pixels));
    return false;
}

std::unique_ptr<PaintedSixImage> newPanoramaResult(int result, DocumentQuestions& questions, PaintLink* link) {
    auto setHasImage = [link](int value) {
        if (link != nullptr) link->record().hasImage = value;
    };
    if (result == NewPanoramaModel::newEmpty) {
        if (!facesFitPixelBudget(newPanoramaSize)) return nullptr;
        auto panorama = std::make_unique<PaintedSixImage>(newPanoramaSize, newPanoramaSize);
        setHasImage(1);
        return panorama;
    }
    if (result != NewPanoramaModel::openTemplate) return nullptr;
    setHasImage(0);
    auto panorama = std::make_unique<PaintedSixImage>();
    try {
        if (panorama->open(questions, true) != 0) return nullptr;
    } catch (const ioException& e) {
        reportIoException(e);
        return nullptr;
    }
    reportUnreadFaces(panorama->unreadFaces);
    return panorama;
}

// --- Choose size

ChooseSizeModel::ChooseSizeModel(Size faceSize, Size suggested, float zoom)
    : faceSize_(faceSize), canvas_(suggested), zoom_(zoom) {
    newPanoramaSize = faceSize;
    show();
}

std::string ChooseSizeModel::widthText() const { return std::to_string(canvas_.width); }
std::string ChooseSizeModel::heightText() const { return std::to_string(canvas_.height); }

void ChooseSizeModel::recalculate(const std::string& widthText, const std::string& heightText) {
    long long value = 0;
    if (wholeNumber(widthText, value) && value > 8 && value < 20000) canvas_.width = static_cast<int>(value);
    if (wholeNumber(heightText, value) && value > 8 && value < 20000) canvas_.height = static_cast<int>(value);
    show();
}

void ChooseSizeModel::show() {
    const double canvasBytes = 3.0 * canvas_.width * canvas_.height;
    canvasText_ = "=  " + megabytes(canvasBytes) + " MB canvas";
    totalText_ = "Approx. " + megabytes(faceBytes(faceSize_) + canvasBytes * 3.3333333) + " MB total memory";
    // The nominal field of view: one canvas pixel at the centre covers one face pixel.
    auto degrees = [](int canvas, int face) {
        return face > 0 ? 2.0 * std::atan(static_cast<double>(canvas) / face) * 180.0 / M_PI : 180.0;
    };
    if (zoom_ > 0 && canvas_.width > 0) {
        // Zoomed: the field of view is the zoom's across, whatever the size; up, the one
        // that keeps the pixels square.
        const double across = static_cast<double>(zoom_);
        const double up = 2.0 * std::atan(std::tan(across / 2) * canvas_.height / canvas_.width);
        fovText_ = format("%.0f\u00b0 by %.0f\u00b0 field of view", across * 180.0 / M_PI, up * 180.0 / M_PI);
        return;
    }
    fovText_ = format("%.0f\u00b0 by %.0f\u00b0 field of view", degrees(canvas_.width, faceSize_.width),
                      degrees(canvas_.height, faceSize_.height));
}

// --- Resize Panorama

ResizePanoramaModel::ResizePanoramaModel(Size current) : current_(current), new_(current) { fill(); }

std::string ResizePanoramaModel::widthText() const { return std::to_string(new_.width); }
std::string ResizePanoramaModel::heightText() const { return std::to_string(new_.height); }

void ResizePanoramaModel::fill() {
    currentFacesText_ = format("%d x %d x 6  =", current_.width, current_.height);
    currentFacesMemory_ = megabytes(faceBytes(current_)) + " MB";
    currentSphericalText_ = format("%lld x %lld  =", 4LL * current_.width, 2LL * current_.width);
    currentSphericalMemory_ = megabytes(sphericalBytes(current_.width)) + " MB";
    showNew();
    // At opening the new spherical size is written like the current one; an edit writes
    // it with one space either side of the equals sign.
    newSphericalText_ = format("%lld x %lld  =", 4LL * new_.width, 2LL * new_.width);
}

void ResizePanoramaModel::showNew() {
    newFacesMemory_ = megabytes(faceBytes(new_)) + " MB";
    newSphericalText_ = format("%lld x %lld = ", 4LL * new_.width, 2LL * new_.width);
    newSphericalMemory_ = megabytes(sphericalBytes(new_.width)) + " MB";
}

namespace {
// The other side in the current proportions, at least one pixel.
int proportional(long long side, int currentThis, int currentOther) {
    if (currentOther <= 0) return static_cast<int>(side);
    return std::max(1, clampToInt(currentThis * side / currentOther));
}

bool positiveNumber(const std::string& text, int& value) {
    long long number = 0;
    if (!wholeNumber(text, number) || number < 1) return false;
    value = clampToInt(number);
    return true;
}
}  // namespace

void ResizePanoramaModel::widthFocusLost(const std::string& text) {
    if (updating_) return;
    updating_ = true;
    if (positiveNumber(text, new_.width) && constrained_)
        new_.height = proportional(new_.width, current_.height, current_.width);
    showNew();
    updating_ = false;
}

void ResizePanoramaModel::heightFocusLost(const std::string& text) {
    if (updating_) return;
    updating_ = true;
    if (positiveNumber(text, new_.height) && constrained_)
        new_.width = proportional(new_.height, current_.width, current_.height);
    showNew();
    updating_ = false;
}

bool ResizePanoramaModel::okPressed(const std::string& widthText, const std::string& heightText) {
    positiveNumber(widthText, new_.width);
    positiveNumber(heightText, new_.height);
    const MemoryStatus status = memoryStatus();
    const double available = static_cast<double>(status.availablePhysical) + status.availablePageFile / 2.0;
    if (available >= faceBytes(new_)) return facesFitPixelBudget(new_);
    const MemoryStatus again = memoryStatus();
    const double x =
        (again.availablePageFile / 2.0 + static_cast<double>(again.availablePhysical) - 2097152.0) / 18.0;
    const int side = x >= 1 ? clampToInt(static_cast<long long>(std::floor(std::sqrt(x)))) : 1;
    new_ = {side, side};
    fill();
    showMessage("Insufficient memory; size reset");
    return false;
}

bool resizePanoramaFaces(PaintedSixImage& panorama, Size size, DocumentQuestions& questions, UndoStep* undo) {
    const bool changed = [&] {
        for (int i = 0; i < faceCount; ++i)
            if (panorama.faceSize(i) != size) return true;
        return false;
    }();
    questions.beginWait();
    try {
        FaceChanges changesBefore = panorama.faceChanges;
        auto replaced = panorama.resizeFaces(size);
        if (undo != nullptr && changed) {
            undo->name = "Resize Panorama";
            undo->faces = std::move(replaced);
            undo->faceChanges = std::move(changesBefore);
        }
    } catch (const std::bad_alloc&) {
        questions.endWait();
        showMessage(format("Not enough memory for %d x %d faces", size.width, size.height));
        return false;
    }
    // The view was rendered from the faces as they were; the next picture is compared with
    // a view of the new ones.
    panorama.view.reset();
    questions.endWait();
    if (changed) panorama.modified = 1;
    return true;
}
