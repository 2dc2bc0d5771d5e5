// Recovery: the unsaved panorama kept when the session ends under the editor, and offered
// at the next start.
#include <exception>
#include <new>

#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/report.h"
#include "shell/recovery.h"
#include "shell/shell.h"

bool Shell::saveForRecovery() {
    if (!panorama_) return true;
    // A picture taken but not yet projected is part of the changes.
    if (paintState_ != PaintState::receiving) applyPendingPaint();
    if (panorama_->modified == 0) return true;
    return !writeRecovery(*panorama_, camera_).empty();
}

void Shell::endSessionQuietly() {
    removeTempView();
    quitRequested_ = 1;
}

bool Shell::offerRecovery() {
    const std::vector<RecoverySet> sets = findRecoverySets();
    if (sets.empty()) return false;
    const RecoverySet& set = sets.front();
    switch (showMessage(recoveryQuestion(set), MessageStyle::recoverDiscardLater)) {
    case MessageAnswer::yes: break;
    case MessageAnswer::no: discardRecovery(set); return false;
    default: return false;  // Later: offered again at the next start
    }
    std::unique_ptr<PaintedSixImage> recovered;
    try {
        recovered = loadRecovery(set);
    } catch (const ioException& e) {
        // The set stays for another try; the panorama shown stays too.
        reportIoException(e);
        return false;
    } catch (const std::bad_alloc&) {
        reportIoException(ioException{set.folder, ioException::reading, "not enough memory"});
        return false;
    }
    replacePanorama(std::move(recovered));
    discardRecovery(set);
    setView(set.heading, set.pitch);
    return true;
}
