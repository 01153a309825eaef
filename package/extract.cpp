// ExtractPayload: copies the still compressed payload out of the package.
#include "package/package.h"

namespace {

BYTE g_copyBuffer[kCopyBlockSize];

// The CRC-32 of a whole file, read back through the copy buffer; false when it cannot be read.
bool FileCrc(const char* path, DWORD* crc) {
    const HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return false;
    *crc = 0;
    UINT delivered;
    while ((delivered = _lread(file, g_copyBuffer, kCopyBlockSize)) != 0) {
        if (delivered == static_cast<UINT>(HFILE_ERROR)) break;
        *crc = Crc32(*crc, g_copyBuffer, delivered);
    }
    _lclose(file);
    return delivered == 0;
}

// The package stands at the second marker. When a trailer follows the marker, the packed file
// must have the length and CRC-32 it states; without one there is nothing to check against.
StepResult CheckAgainstTrailer(HFILE package, LONG payloadLength, const char* packedPath) {
    const LONG secondMarker = _llseek(package, 0, FILE_CURRENT);
    BYTE trailer[kTrailerSize];
    if (secondMarker == HFILE_ERROR || _llseek(package, secondMarker + kMarkerSize, FILE_BEGIN) == HFILE_ERROR)
        return kPackageDamaged;
    const UINT delivered = _lread(package, trailer, kTrailerSize);
    if (delivered == static_cast<UINT>(HFILE_ERROR) || _llseek(package, secondMarker, FILE_BEGIN) != secondMarker)
        return kPackageDamaged;
    if (delivered < static_cast<UINT>(kTrailerSize)) return kStepDone;
    for (int i = 0; i < 8; ++i)
        if (trailer[i] != kTrailerMagic[i]) return kStepDone;
    DWORD crc = 0;
    if (LittleEndian32(trailer + 8) != static_cast<DWORD>(payloadLength) || !FileCrc(packedPath, &crc))
        return kPackageDamaged;
    return crc == LittleEndian32(trailer + 12) ? kStepDone : kPackageDamaged;
}

}  // namespace

void RemoveFile(const char* path) {
    OFSTRUCT record;
    OpenFile(path, &record, OF_DELETE);
}

StepResult ExtractPayload(HFILE package, const char* packedPath) {
    const LONG payloadStart = _llseek(package, 0, FILE_CURRENT);
    const LONG payloadLength = FindMarker(package);
    if (payloadStart == HFILE_ERROR || payloadLength < 0) return kPackageDamaged;
    if (_llseek(package, payloadStart, FILE_BEGIN) != payloadStart) return kPackageDamaged;

    const HFILE target = _lcreat(packedPath, 0);
    if (target == HFILE_ERROR) return kDirectoryUnwritable;
    StepResult result = kStepDone;
    LONG remaining = payloadLength;
    while (remaining > 0) {
        const UINT wanted = remaining > kCopyBlockSize ? kCopyBlockSize : static_cast<UINT>(remaining);
        const UINT delivered = _lread(package, g_copyBuffer, wanted);
        if (delivered == 0 || delivered == static_cast<UINT>(HFILE_ERROR) || delivered > wanted) {
            result = kPackageDamaged;
            break;
        }
        if (_lwrite(target, reinterpret_cast<LPCSTR>(g_copyBuffer), delivered) != delivered) {
            result = kDirectoryUnwritable;
            break;
        }
        remaining -= static_cast<LONG>(delivered);
    }
    if (_lclose(target) == HFILE_ERROR && result == kStepDone) result = kDirectoryUnwritable;
    if (result == kStepDone) result = CheckAgainstTrailer(package, payloadLength, packedPath);
    if (result != kStepDone) RemoveFile(packedPath);
    return result;
}
