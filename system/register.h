// RegisterScreenSaver: makes the installed screen saver the active one.
#pragma once

// Names the screen-saver file in system.ini [boot] SCRNSAVE.EXE by its short path (on the NT
// family also in win.ini [Desktop] SCRNSAVE.EXE, where NT looks for it), switches the screen saver
// on and sets its idle time. All or nothing: returns false when the short path or the previous
// state cannot be had, having written nothing, and when a later write or setting fails, having put
// back each one already made.
bool RegisterScreenSaver();
