// CRC-32 over a table made on first use.
#include "package/package.h"

namespace {

DWORD g_crcTable[256];
bool g_crcTableReady = false;

void MakeCrcTable() {
    for (DWORD n = 0; n < 256; ++n) {
        DWORD c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        g_crcTable[n] = c;
    }
    g_crcTableReady = true;
}

}  // namespace

DWORD Crc32(DWORD crc, const BYTE* data, UINT size) {
    if (!g_crcTableReady) MakeCrcTable();
    crc = ~crc;
    for (UINT i = 0; i < size; ++i) crc = g_crcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
