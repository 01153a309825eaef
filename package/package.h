// The package: the installer's own file with the compressed screen saver appended, and the steps
// that read it. Shared by the installer and by the packer, mkpackage.
//
//   offset 0          +--------------------------+
//                     | program image            |  the installer executable as built
//                     | (zero bytes up to 40001  |  when the image is shorter)
//   >= 40001          +--------------------------+
//                     | marker                   |  256 bytes: 0x00, 0x01, ... 0xFF
//                     +--------------------------+
//                     | payload                  |  the screen saver in SZDD form; its length is
//                     |                          |  the distance between the markers
//                     +--------------------------+
//                     | marker                   |  the same 256 bytes
//                     +--------------------------+
//                     | tail                     |  ignored by the installer, but for a trailer
//                     |                          |  that mkpackage writes right after the second
//                     |                          |  marker: a magic, the payload's length and
//                     |                          |  its CRC-32 (Trailer, below)
//                     +--------------------------+
//
// From offset 40001 up to the first marker, and inside the payload, no run of the 255 bytes
// 0x00 to 0xFE may appear: the scan would take it for a marker.
#pragma once

#include "platform/winapi.h"

// The scan for the first marker starts here, past the program image: the image is code and data
// that may hold any bytes, a marker run among them, and the installer cannot know its own image's
// length without parsing it. So the layout fixes the offset instead: every package puts its first
// marker here or later (mkpackage pads a shorter image).
constexpr LONG kMarkerSearchStart = 40001;
constexpr int kMarkerSize = 256;
// Bytes compared. The format's scan keeps its match count in one byte, which stops at 255, so it
// takes the 256th byte without a look: a run 0x00 to 0xFE is a marker whatever follows. Packages
// are made to that rule (mkpackage keeps such runs out of the payload and checks its output with
// this scan); comparing the 256th as well would read some files otherwise than the format does.
constexpr int kMarkerMatched = 255;
constexpr int kScanBlockSize = 4096;
constexpr int kCopyBlockSize = 8192;

// The trailer right after the second marker: an 8-byte magic (in trailer.cpp), then the payload's
// length and its CRC-32, both 32-bit little-endian. A package without one (the plain layout) installs
// unchecked; with one, the packed file must have the length and CRC-32 it states.
struct Trailer {
    DWORD payloadLength;
    DWORD payloadCrc;
};
constexpr int kTrailerMagicSize = 8;
constexpr int kTrailerSize = 16;
static_assert(kTrailerSize == kTrailerMagicSize + 4 + 4, "magic, length, CRC-32");

// Reads the kTrailerSize bytes after the second marker; false when they lack the magic, so that
// whatever else follows a package counts as no trailer.
bool ReadTrailer(const BYTE* bytes, Trailer* trailer);
void WriteTrailer(const Trailer& trailer, BYTE* bytes);

// A 32-bit little-endian field, as the SZDD header and the trailer store their numbers.
inline DWORD LittleEndian32(const BYTE* bytes) {
    return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

// CRC-32 as zip and PNG compute it (reflected polynomial 0xEDB88320). Start with 0 and feed the
// bytes in any number of pieces.
DWORD Crc32(DWORD crc, const BYTE* data, UINT size);

// What a file step achieved: done, or why it failed.
enum StepResult {
    kStepDone = 0,
    kPackageDamaged,       // a marker missing, the payload cut short or not expandable
    kDirectoryUnwritable,  // a file in the Windows directory could not be created or written
    kWindowsPathTooLong,   // the Windows directory leaves no room for the file names
};

// Scans from the current position for the next marker. Returns the distance from that position to
// the marker's first byte and leaves the file just past the marker's 256th byte; returns -1 when
// the file ends first, the position then undefined.
LONG FindMarker(HFILE package);

// Copies the payload, which begins at the package's current position, into a new packed file at
// packedPath, and checks the packed file against the package's trailer when there is one.
// Afterwards the package stands at the second marker. On failure no packed file stays.
StepResult ExtractPayload(HFILE package, const char* packedPath);

// The paths of one expansion, all in the Windows directory.
struct ExpansionPaths {
    char* source;     // the packed file
    char* expanding;  // the temporary file that LZ32 writes
    char* target;     // the screen-saver file
    char* setAside;   // where Windows 9x keeps an older screen saver while the new one moves in
};

// Expands the packed file into a temporary file beside the target with LZ32, then deletes the
// packed file; only an expansion of exactly the size the packed file's header states takes the
// target's name (MoveFileExA replacing it, or on Windows 9x by setting the older file aside). On
// failure the packed and the temporary file are gone and an older screen saver stays as it was.
StepResult ExpandPayload(const ExpansionPaths& paths);

// Deletes a file of the installer's own making; a file already gone is no failure.
void RemoveFile(const char* path);
