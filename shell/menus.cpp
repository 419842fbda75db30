// menus.cpp -- the right-button pop-up menus. What each entry does lives in
// portable/menu_choices.cpp.
#include <GL/freeglut.h>

#include "shell/shell.h"

void onMainMenu(int value) { chooseMainMenu(value); }

void onDetailMenu(int value) { chooseDetailMenu(value); }

void onVolumeMenu(int value) { chooseVolumeMenu(value); }

void buildMenus() {
    constexpr const char* kDetailLabels[kDetailMenuEntries] = {
        "Level 1 ( most detailed )", "Level 2", "Level 3", "Level 4", "Level 5",
        "Level 6", "Level 7", "Level 8", "Level 9 ( least detailed )"};
    const int detailMenu = glutCreateMenu(onDetailMenu);
    for (int i = 0; i < kDetailMenuEntries; ++i) glutAddMenuEntry(kDetailLabels[i], i + 1);

    // In VolumeControl's order, values from 1; each names its key.
    const int volumeMenu = glutCreateMenu(onVolumeMenu);
    glutAddMenuEntry("Music Louder (])", 1);
    glutAddMenuEntry("Music Softer ([)", 2);
    glutAddMenuEntry("Effects Louder (+)", 3);
    glutAddMenuEntry("Effects Softer (-)", 4);

    glutCreateMenu(onMainMenu);
    glutAddMenuEntry("Start game", MenuStartGame);
    glutAddMenuEntry("Pause game", MenuPauseGame);
    glutAddMenuEntry("Toggle Map", MenuToggleMap);
    glutAddMenuEntry("Toggle Texture", MenuToggleTexture);
    glutAddMenuEntry("Toggle Light", MenuToggleLight);
    glutAddMenuEntry("Toggle Sound", MenuToggleSound);
    glutAddSubMenu("Volume", volumeMenu);
    glutAddSubMenu("Levels of Detail", detailMenu);
    glutAddMenuEntry("Quit", MenuQuit);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}
