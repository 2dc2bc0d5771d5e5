// The dialog group's window side: New Panorama and Resize Panorama.
#include "app/command_groups.h"
#include "app/document_dialogs.h"
#include "app/gl_view.h"
#include "app/main_window.h"
#include "app/size_dialogs.h"
#include "shell/commands.h"

bool dialogCommand(MainWindow& window, int id) {
    Shell& shell = window.shell();
    switch (id) {
    case cmdNew: {
        {
            WindowQuestions questions(&window);
            if (!shell.confirmDiscard(questions)) return true;
        }
        auto panorama = newPanoramaDialog(&window, shell);
        if (panorama) shell.replacePanorama(std::move(panorama));
        if (window.view() != nullptr) window.view()->invalidateView();
        return true;
    }
    case cmdResize:
        resizePanoramaDialog(&window, shell);
        if (window.view() != nullptr) window.view()->invalidateView();
        return true;
    default: return false;
    }
}
