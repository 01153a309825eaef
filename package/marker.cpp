// FindMarker: one sequential pass in 4096-byte blocks for the 256-byte marker.
#include "package/package.h"

namespace {

// The number of bytes a read delivered; a failed read delivers none.
UINT ReadBlock(HFILE file, BYTE* block) {
    UINT delivered = _lread(file, block, kScanBlockSize);
    return delivered == static_cast<UINT>(HFILE_ERROR) ? 0 : delivered;
}

}  // namespace

LONG FindMarker(HFILE package) {
    BYTE block[kScanBlockSize];
    const LONG start = _llseek(package, 0, FILE_CURRENT);
    if (start == HFILE_ERROR) return -1;
    LONG blockBase = start;
    UINT delivered = ReadBlock(package, block);
    if (delivered == 0) return -1;  // nothing to scan, or a failed read: never read on after one
    UINT index = 0;
    int matched = 0;
    for (;;) {
        if (matched == kMarkerMatched) {
            // The byte at index is the marker's last; it is taken without being compared (see
            // kMarkerMatched for why), and may even lie past the end of the file.
            const LONG past = blockBase + static_cast<LONG>(index) + 1;
            if (_llseek(package, past, FILE_BEGIN) != past) return -1;
            return past - start - kMarkerSize;
        }
        if (index == delivered) {
            blockBase += static_cast<LONG>(delivered);
            delivered = ReadBlock(package, block);
            index = 0;
            if (delivered == 0) return -1;
        }
        if (block[index] == matched) {
            ++matched;
            ++index;
        } else if (matched > 0) {
            matched = 0;  // the breaking byte may begin a marker: look at it again
        } else {
            ++index;
        }
    }
}
