// How the demo screen saver was asked to run, read from its command line.
#pragma once

#include <cstdint>

enum class SaverMode {
    kSettings,    // "/c" or no argument: the settings box
    kFullScreen,  // "/s": the screen saver proper
    kPreview,     // "/p <window>": draw into the display settings' preview
    kPassword,    // "/a": change the password, which this saver does not have
};

struct SaverRequest {
    SaverMode mode;
    std::uintptr_t window;  // the window given with /c or /p, 0 when none
};

// Reads "/s", "-S", "/c", "/c:1234", "/p 1234" and the like; an unknown letter asks for settings.
SaverRequest ParseSaverCommandLine(const char* arguments);
