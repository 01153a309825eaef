// The installer's entry, called once by the start-up of either side.
#pragma once

#include "platform/winapi.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
