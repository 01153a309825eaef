// RegisterScreenSaver: makes the installed screen saver the active one.
#pragma once

// Names the screen-saver file in system.ini [boot] SCRNSAVE.EXE by its short path, switches the
// screen saver on and sets its idle time. Returns false, having written nothing, when the short
// path cannot be had; false too when a later write or setting fails.
bool RegisterScreenSaver();
