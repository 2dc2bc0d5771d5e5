// The dialog group: New Panorama and Resize Panorama; the dialogs' models are in
// size_dialog_models.cpp.
#include "shell/commands.h"
#include "shell/shell.h"
#include "shell/size_dialog_models.h"

bool dialogCommandOffered(int id) { return id == cmdNew || id == cmdResize; }

void Shell::resizePanorama(Size size, DocumentQuestions& questions) {
    if (!panorama_) return;
    UndoStep step;
    if (resizePanoramaFaces(*panorama_, size, questions, &step) && !step.name.empty()) recordStep(std::move(step));
    notifyTitle();
    notifyView();
}
