// Resource identifiers of the demo screen saver, shared by its resource script and its code.
#pragma once

// Windows shows string 1 of a screen saver as its name; icon 100 is the conventional saver icon.
#define kDescriptionString 1
#define kSaverIcon 100
