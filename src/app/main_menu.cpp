#include "app/main_menu.h"

#include <memory>

#include "shell/commands.h"

namespace {
struct Item {
    int id;  // 0: a separator
    const char* text;
};

wxMenu* menuOf(std::initializer_list<Item> items) {
    auto* menu = new wxMenu;
    for (const Item& item : items) {
        if (item.id == 0)
            menu->AppendSeparator();
        else
            menu->Append(menuId(item.id), wxString::FromUTF8(item.text));
    }
    return menu;
}
}  // namespace

wxMenuBar* createMainMenu() {
    auto* bar = new wxMenuBar;
    bar->Append(menuOf({{cmdNew, "&New...\tCtrl+N"},
                        {cmdOpen, "&Open...\tCtrl+O"},
                        {cmdSave, "&Save\tCtrl+S"},
                        {cmdSaveAs, "Save &As..."},
                        {cmdRevert, "&Revert"},
                        {0, nullptr},
                        {cmdResize, "Resize Panorama..."},
                        {0, nullptr},
                        {cmdPreferences, "&Preferences..."},
                        {0, nullptr},
                        {cmdExit, "E&xit"}}),
                "&File");
    // The labels name the step (Shell::undoLabel); these are the labels with nothing to undo.
    bar->Append(menuOf({{cmdUndo, "&Undo\tCtrl+Z"}, {cmdRedo, "&Redo\tCtrl+Shift+Z"}}), "&Edit");
    bar->Append(menuOf({{cmdPaintView, "&Paint this view...\tEnter"},
                        {cmdStopWatching, "&Stop Watching the View File\tEsc"},
                        {0, nullptr},
                        {cmdForward, "&Forward (0\u00b0)\tCtrl+F"},
                        {cmdRight, "&Right  (90\u00b0)\tCtrl+R"},
                        {cmdBack, "&Back  (180\u00b0)\tCtrl+B"},
                        {cmdLeft, "&Left (270\u00b0)\tCtrl+L"},
                        {cmdUp, "&Up\tCtrl+U"},
                        {cmdDown, "&Down\tCtrl+D"},
                        {0, nullptr},
                        {cmdZoomIn, "Zoom &In\tCtrl++"},
                        {cmdZoomOut, "Zoom &Out\tCtrl+-"},
                        {cmdHome, "Straight Ahead, &Normal Zoom\tHome"}}),
                "&View");
    bar->Append(menuOf({{cmdHelp, "&Manual"}, {cmdAbout, "&About Domecast..."}}), "&Help");
    return bar;
}

std::string describeMenus(const wxMenuBar& bar) {
    std::string text;
    for (std::size_t m = 0; m < bar.GetMenuCount(); ++m) {
        const std::string title = wxMenuItem::GetLabelText(bar.GetMenuLabel(m)).utf8_string();
        for (const wxMenuItem* item : bar.GetMenu(m)->GetMenuItems()) {
            if (item->IsSeparator()) continue;
            // The toolkit shows the accelerator it was given, not the text after the tab.
            const std::unique_ptr<wxAcceleratorEntry> accel(item->GetAccel());
            text += title + "\t" + item->GetItemLabelText().utf8_string() + "\t" +
                    (accel ? accel->ToString().utf8_string() : std::string()) + "\n";
        }
    }
    return text;
}

wxMenu* createPaintPopup() { return menuOf({{cmdPaintView, "Paint this view..\tEnter"}}); }

wxAcceleratorTable createAccelerators() {
    const wxAcceleratorEntry entries[] = {
        {wxACCEL_CTRL, 'N', menuId(cmdNew)},
        {wxACCEL_CTRL, 'O', menuId(cmdOpen)},
        {wxACCEL_CTRL, 'S', menuId(cmdSave)},
        {wxACCEL_CTRL, 'F', menuId(cmdForward)},
        {wxACCEL_NORMAL, WXK_HOME, menuId(cmdHome)},
        {wxACCEL_CTRL, 'Z', menuId(cmdUndo)},
        {wxACCEL_CTRL | wxACCEL_SHIFT, 'Z', menuId(cmdRedo)},
        {wxACCEL_CTRL, 'Y', menuId(cmdRedo)},
        {wxACCEL_CTRL, 'L', menuId(cmdLeft)},
        {wxACCEL_CTRL, 'R', menuId(cmdRight)},
        {wxACCEL_CTRL, 'B', menuId(cmdBack)},
        {wxACCEL_CTRL, 'U', menuId(cmdUp)},
        {wxACCEL_CTRL, 'D', menuId(cmdDown)},
        {wxACCEL_NORMAL, WXK_RETURN, menuId(cmdPaintView)},
        {wxACCEL_NORMAL, WXK_ESCAPE, menuId(cmdStopWatching)},
        {wxACCEL_CTRL | wxACCEL_SHIFT, 'D', cmdRuntimeDebugging},
    };
    return wxAcceleratorTable(static_cast<int>(std::size(entries)), entries);
}
