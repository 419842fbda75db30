// help.h -- the keys and the menu's entries as the player reads them: the
// F1 panel draws them, the menu is built from the entries' labels, and the
// README's key table says the same (a test holds them to it). GL-free.
#pragma once

// One row of the key table: the keys and what they do.
struct KeyHelp {
    const char* keys;
    const char* action;
};

// Hold = while held, tap = acts on release and on each auto-repeat.
inline constexpr KeyHelp kKeyHelp[] = {
    {"i / k (hold)", "move forward / backward"},
    {"j / l (hold)", "turn left / right"},
    {"d / f (hold)", "strafe left / right"},
    {"arrows", "one step forward / back, one turn step left / right per press"},
    {"space (press or hold)", "fire at once; held, 16.7 shots a second, whatever else is held"},
    {"p (tap)", "print the position on the server's standard output"},
    {"L / T (tap)", "toggle map lighting / textures (this process only)"},
    {"] / [ (tap)", "music louder / softer by 3 dB"},
    {"+ or = / - (tap)", "guns and explosions louder / softer by 3 dB"},
    {"Tab (hold)", "show the scoreboard"},
    {"mouse (click; Escape)", "turn, once a left click captured the pointer; Escape frees it"},
    {"F1", "show / hide this list of keys and menu entries"},
    {"F11", "fullscreen / back to the window"},
    {"F9", "save the last 30 s of play to a new file (named on the line)"},
    {"q / Q", "quit (takes effect at the next key event)"},
};

// The right-button menu's entries, top to bottom; the entry whose label is
// kDetailSubmenuLabel opens the detail levels, every other one has the value
// of its place (1, 2, ...) minus one for each submenu above it.
inline constexpr const char* kMainMenuLabels[] = {
    "Start game", "Pause game", "Toggle Map", "Toggle Texture", "Toggle Light",
    "Toggle Sound", "Volume", "Levels of Detail", "Toggle Respawn", "Quit",
};
inline constexpr const char* kDetailSubmenuLabel = "Levels of Detail";
inline constexpr const char* kVolumeSubmenuLabel = "Volume";
inline constexpr const char* kDetailLevelLabels[] = {
    "Level 1 ( most detailed )", "Level 2", "Level 3", "Level 4", "Level 5",
    "Level 6", "Level 7", "Level 8", "Level 9 ( least detailed )"};
