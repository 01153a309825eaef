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

}  // namespace

StepResult ExpandPayload(char* sourcePath, char* targetPath) {
    const LONG expected = ExpandedLength(sourcePath);
    if (expected < 0) {
        RemoveFile(sourcePath);
        return kPackageDamaged;
    }
    OFSTRUCT sourceRecord;
    OFSTRUCT targetRecord;
    const INT source = LZOpenFileA(sourcePath, &sourceRecord, OF_READ);
    // The packed file is the installer's own, written and its header read back just now: the
    // package has proved sound this far, so when the file cannot be opened now, what failed is the
    // Windows directory (the file taken away or locked there by another program).
    if (source < 0) {
        RemoveFile(sourcePath);
        return kDirectoryUnwritable;
    }
    const INT target = LZOpenFileA(targetPath, &targetRecord, OF_CREATE);
    if (target < 0) {
        LZClose(source);
        RemoveFile(sourcePath);
        return kDirectoryUnwritable;
    }
    const LONG written = LZCopy(source, target);
    LZClose(target);
    LZClose(source);
    OpenFile(sourcePath, &sourceRecord, OF_DELETE);
    if (written == expected) return kStepDone;
    RemoveFile(targetPath);
    return written == LZERROR_WRITE || written == LZERROR_BADOUTHANDLE ? kDirectoryUnwritable : kPackageDamaged;
}
