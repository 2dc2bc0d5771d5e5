// The document group's window side: the shell's Open, Save and Save As asked with the
// window's dialogs.
#include "app/command_groups.h"
#include "app/document_dialogs.h"
#include "app/main_window.h"
#include "shell/commands.h"

bool documentCommand(MainWindow& window, int id) {
    WindowQuestions questions(&window);
    switch (id) {
    case cmdOpen: window.shell().openPanorama(questions); return true;
    case cmdSave: window.shell().savePanorama(questions, false); return true;
    case cmdSaveAs: window.shell().savePanorama(questions, true); return true;
    default: return false;
    }
}
