// menus.cpp -- the right-button pop-up menus. What each entry does lives in
// portable/menu_choices.cpp.
#include <GL/freeglut.h>

#include <cstring>

#include "render/help.h"
#include "shell/shell.h"

void onMainMenu(int value) { chooseMainMenu(value); }

void onDetailMenu(int value) { chooseDetailMenu(value); }

void onVolumeMenu(int value) { chooseVolumeMenu(value); }

// The labels live with the F1 panel's key table (render/help.h), so the menu
// and the panel never disagree.
static_assert(sizeof kDetailLevelLabels / sizeof kDetailLevelLabels[0] == kDetailMenuEntries);
static_assert(sizeof kMainMenuLabels / sizeof kMainMenuLabels[0] == MenuQuit + 2, "eight choices and two submenus");

void buildMenus() {
    const int detailMenu = glutCreateMenu(onDetailMenu);
    for (int i = 0; i < kDetailMenuEntries; ++i) glutAddMenuEntry(kDetailLevelLabels[i], i + 1);

    // In VolumeControl's order, values from 1; each names its key.
    const int volumeMenu = glutCreateMenu(onVolumeMenu);
    glutAddMenuEntry("Music Louder (])", 1);
    glutAddMenuEntry("Music Softer ([)", 2);
    glutAddMenuEntry("Effects Louder (+)", 3);
    glutAddMenuEntry("Effects Softer (-)", 4);

    glutCreateMenu(onMainMenu);
    int value = MenuStartGame;
    for (const char* label : kMainMenuLabels) {
        if (std::strcmp(label, kDetailSubmenuLabel) == 0) glutAddSubMenu(label, detailMenu);
        else if (std::strcmp(label, kVolumeSubmenuLabel) == 0) glutAddSubMenu(label, volumeMenu);
        else glutAddMenuEntry(label, value++);
    }
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
