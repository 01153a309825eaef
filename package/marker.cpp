// FindMarker: one sequential pass in 4096-byte blocks for the 256-byte marker.
#include "package/package.h"

namespace {

// The number of bytes a read delivered; a failed read delivers none.
UINT ReadBlock(HFILE file, BYTE* block) {
    UINT delivered = _lread(file, block, kScanBlockSize);
    return delivered == static_cast<UINT>(HFILE_ERROR) ? 0 : delivered;
}

// Outside a match only a 0x00 can begin one: skips the 8-byte words from index on that hold none,
// up to the block's last whole word.
UINT SkipWordsWithoutZero(const BYTE* block, UINT index, UINT delivered) {
    constexpr unsigned long long kOnes = 0x0101010101010101ull;
    constexpr unsigned long long kHighs = 0x8080808080808080ull;
    while (index + 8 <= delivered) {
        const unsigned long long word =
            static_cast<unsigned long long>(LittleEndian32(block + index)) |
            static_cast<unsigned long long>(LittleEndian32(block + index + 4)) << 32;
        if (((word - kOnes) & ~word & kHighs) != 0) break;
        index += 8;
    }
    return index;
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
        if (matched == 0) {
            index = SkipWordsWithoutZero(block, index, delivered);
            if (index == delivered) continue;
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
