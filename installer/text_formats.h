// The formats of the product texts and file names: each "%s" takes the product name.
#pragma once

inline constexpr char kCaptionFormat[] = "%s Bildschirmschoner";
inline constexpr char kInstallFormat[] = "Soll der %s Bildschirmschoner installiert werden?";
inline constexpr char kRegisterFormat[] = "Den %s Bildschirmschoner als aktiven Bildschirmschoner anmelden?";
inline constexpr char kPackedFormat[] = "%s.SC_";
inline constexpr char kSaverFormat[] = "%s.scr";
// Expansion goes into a file of its own beside the screen saver, so that a failed one leaves the
// installed screen saver as it was; on Windows 9x the older one is set aside under the second name
// while the new one takes its place.
inline constexpr char kExpandingFormat[] = "%s.$sc";
inline constexpr char kSetAsideFormat[] = "%s.~sc";

// Fourteen lines; the rights holders and their notice are texts of this build. Code page 1252:
// \xFC is "ü".
inline constexpr char kWelcomeFormat[] =
    "Herzlich Willkommen beim\n"
    "%s Bildschirmschoner!\n"
    "\n"
    "Der %s Bildschirmschoner darf\n"
    "kostenlos weitergegeben werden. Kommerzielle\n"
    "Weiterverwertung bedarf der Zustimmung\n"
    "der Lichtm\xFChle Bildwerk GmbH\n"
    "und der Sternwarte Software KG.\n"
    "\n"
    "F\xFCr Programmfehler und daraus entstehende\n"
    "Folgen wird keine Haftung \xFC" "bernommen.\n"
    "\n"
    "(c) 1997 Lichtm\xFChle Bildwerk GmbH, Bremen, und\n"
    "Sternwarte Software KG, Rostock. Alle Rechte vorbehalten.";

static_assert(sizeof(kWelcomeFormat) - 1 == 409, "the welcome format is 409 bytes long");
