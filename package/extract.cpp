// ExtractPayload: copies the still compressed payload out of the package.
#include "package/package.h"

namespace {
BYTE g_copyBuffer[kCopyBlockSize];
}

void RemoveFile(const char* path) {
    OFSTRUCT record;
    OpenFile(path, &record, OF_DELETE);
}

StepResult ExtractPayload(HFILE package, const char* packedPath) {
    const LONG payloadStart = _llseek(package, 0, 1);
    const LONG payloadLength = FindMarker(package);
    if (payloadStart == HFILE_ERROR || payloadLength < 0) return kPackageDamaged;
    if (_llseek(package, payloadStart, 0) != payloadStart) return kPackageDamaged;

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
    if (result != kStepDone) RemoveFile(packedPath);
    return result;
}
