#include "app/main_menu.h"

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
                        {0, nullptr},
                        {cmdResize, "Resize Panorama..."},
                        {0, nullptr},
                        {cmdPreferences, "&Preferences..."},
                        {0, nullptr},
                        {cmdExit, "E&xit"}}),
                "&File");
    bar->Append(menuOf({{cmdPaintView, "&Paint this view...\tEnter"},
                        {0, nullptr},
                        {cmdForward, "&Forward (0\u00b0)\tCntrl+F,Home"},
                        {cmdRight, "&Right  (90\u00b0)\tCntrl+R"},
                        {cmdBack, "&Back  (180\u00b0)\tCntrl+B"},
                        {cmdLeft, "&Left (270\u00b0)\tCntrl+L"},
                        {cmdUp, "&Up\tCntrl+U"},
                        {cmdDown, "&Down\tCntrl+D"}}),
                "&View");
    bar->Append(menuOf({{cmdHelp, "Domecast &Help..."}, {cmdAbout, "&About Domecast..."}}), "&Help");
    return bar;
}

wxMenu* createPaintPopup() { return menuOf({{cmdPaintView, "Paint this view..\tEnter"}}); }

wxAcceleratorTable createAccelerators() {
    const wxAcceleratorEntry entries[] = {
        {wxACCEL_CTRL, 'N', menuId(cmdNew)},
        {wxACCEL_CTRL, 'O', menuId(cmdOpen)},
        {wxACCEL_CTRL, 'S', menuId(cmdSave)},
        {wxACCEL_CTRL, 'F', menuId(cmdForward)},
        {wxACCEL_NORMAL, WXK_HOME, menuId(cmdForward)},
        {wxACCEL_CTRL, 'L', menuId(cmdLeft)},
        {wxACCEL_CTRL, 'R', menuId(cmdRight)},
        {wxACCEL_CTRL, 'B', menuId(cmdBack)},
        {wxACCEL_CTRL, 'U', menuId(cmdUp)},
        {wxACCEL_CTRL, 'D', menuId(cmdDown)},
        {wxACCEL_NORMAL, WXK_RETURN, menuId(cmdPaintView)},
        {wxACCEL_CTRL | wxACCEL_SHIFT, 'D', cmdRuntimeDebugging},
    };
    return wxAcceleratorTable(static_cast<int>(std::size(entries)), entries);
}
