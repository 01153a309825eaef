// ExpandPayload: the packed file becomes the screen-saver file through LZ32.
#include "package/package.h"
#include "szdd/format.h"

namespace {

// The expanded length that the packed file's SZDD header states, or -1 when the file has no such
// header (LZ32 would then copy it unexpanded) or states more than a file position can hold.
LONG ExpandedLength(const char* packedPath) {
    BYTE header[szdd::kHeaderSize];
    const HFILE file = _lopen(packedPath, OF_READ);
    if (file == HFILE_ERROR) return -1;
    const UINT delivered = _lread(file, header, szdd::kHeaderSize);
    _lclose(file);
    if (delivered != szdd::kHeaderSize) return -1;
    for (UINT i = 0; i < szdd::kMagicSize; ++i)
        if (header[i] != szdd::kMagic[i]) return -1;
    const DWORD length = LittleEndian32(header + szdd::kLengthOffset);
    return length > 0x7FFFFFFFu ? -1 : static_cast<LONG>(length);
}

// Puts the expanded file in the target's place. NT replaces in one step; Windows 9x has no
// replacing move, so an older screen saver is renamed aside first and comes back when the new one
// cannot move in.
bool PutInPlace(const ExpansionPaths& paths) {
    if (MoveFileExA(paths.expanding, paths.target, MOVEFILE_REPLACE_EXISTING)) return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    // An older screen saver left aside by a run cut off between the moves comes back first; aside
    // beside a screen saver, it is that run's leftover.
    if (!MoveFileA(paths.setAside, paths.target)) RemoveFile(paths.setAside);
    const bool setAside = MoveFileA(paths.target, paths.setAside) != FALSE;
    if (MoveFileA(paths.expanding, paths.target)) {
        if (setAside) RemoveFile(paths.setAside);
        return true;
    }
    // Should this move fail too, the older screen saver waits aside for the next run.
    if (setAside) MoveFileA(paths.setAside, paths.target);
    return false;
}

}  // namespace

StepResult ExpandPayload(const ExpansionPaths& paths) {
    const LONG expected = ExpandedLength(paths.source);
    if (expected < 0) {
        RemoveFile(paths.source);
        return kPackageDamaged;
    }
    OFSTRUCT sourceRecord;
    OFSTRUCT expandingRecord;
    const INT source = LZOpenFileA(paths.source, &sourceRecord, OF_READ);
    // The packed file is the installer's own, written and its header read back just now: the
    // package has proved sound this far, so when the file cannot be opened now, what failed is the
    // Windows directory (the file taken away or locked there by another program).
    if (source < 0) {
        RemoveFile(paths.source);
        return kDirectoryUnwritable;
    }
    const INT expanding = LZOpenFileA(paths.expanding, &expandingRecord, OF_CREATE);
    if (expanding < 0) {
        LZClose(source);
        RemoveFile(paths.source);
        return kDirectoryUnwritable;
    }
    const LONG written = LZCopy(source, expanding);
    LZClose(expanding);
    LZClose(source);
    OpenFile(paths.source, &sourceRecord, OF_DELETE);
    StepResult result = kStepDone;
    if (written != expected)
        result = written == LZERROR_WRITE || written == LZERROR_BADOUTHANDLE ? kDirectoryUnwritable : kPackageDamaged;
    else if (!PutInPlace(paths))
        result = kDirectoryUnwritable;
    if (result != kStepDone) RemoveFile(paths.expanding);
    return result;
}
