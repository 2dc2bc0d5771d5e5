// The document group's window side: the shell's Open, Save and Save As asked with the
// window's dialogs.
#include "app/command_groups.h"
#include "app/document_dialogs.h"
#include "app/main_window.h"
#include "app/paint_loop.h"
#include "app/progress_window.h"
#include "shell/commands.h"

bool documentCommand(MainWindow& window, int id) {
    WindowQuestions questions(&window);
    switch (id) {
    case cmdOpen: {
        const StepsHeld held(window.shell());
        ProgressWindow progress(&window, "Opening the panorama...");
        window.shell().openPanorama(questions);
        return true;
    }
    case cmdSave:
    case cmdSaveAs: {
        const StepsHeld held(window.shell());
        ProgressWindow progress(&window, "Saving the panorama...");
        window.shell().savePanorama(questions, id == cmdSaveAs);
        return true;
    }
    case cmdRevert: {
        const StepsHeld held(window.shell());
        ProgressWindow progress(&window, "Reading the panorama again...");
        window.shell().revertPanorama(questions);
        return true;
    }
    default: return false;
    }
}
