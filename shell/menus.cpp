// menus.cpp -- the right-button pop-up menus. What each entry does lives in
// portable/menu_choices.cpp.
#include <GL/freeglut.h>

#include <cstring>

#include "render/help.h"
#include "shell/shell.h"

void onMainMenu(int value) { chooseMainMenu(value); }

void onDetailMenu(int value) { chooseDetailMenu(value); }

// The labels live with the F1 panel's key table (render/help.h), so the menu
// and the panel never disagree.
static_assert(sizeof kDetailLevelLabels / sizeof kDetailLevelLabels[0] == kDetailMenuEntries);
static_assert(sizeof kMainMenuLabels / sizeof kMainMenuLabels[0] == MenuQuit + 1, "seven choices and the submenu");

void buildMenus() {
    const int detailMenu = glutCreateMenu(onDetailMenu);
    for (int i = 0; i < kDetailMenuEntries; ++i) glutAddMenuEntry(kDetailLevelLabels[i], i + 1);

    glutCreateMenu(onMainMenu);
    int value = MenuStartGame;
    for (const char* label : kMainMenuLabels) {
        if (std::strcmp(label, kDetailSubmenuLabel) == 0) glutAddSubMenu(label, detailMenu);
        else glutAddMenuEntry(label, value++);
    }
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
