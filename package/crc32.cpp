// CRC-32 over tables made on first use, eight bytes a step (slicing by 8): the installer checks a
// packed file of megabytes with it, and mkpackage every payload it reads.
#include "package/package.h"

namespace {

// g_crcTable[k][n]: the CRC of byte n followed by k zero bytes.
DWORD g_crcTable[8][256];
bool g_crcTableReady = false;

void MakeCrcTable() {
    for (DWORD n = 0; n < 256; ++n) {
        DWORD c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        g_crcTable[0][n] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (int n = 0; n < 256; ++n)
            g_crcTable[k][n] = (g_crcTable[k - 1][n] >> 8) ^ g_crcTable[0][g_crcTable[k - 1][n] & 0xFF];
    g_crcTableReady = true;
}

}  // namespace

DWORD Crc32(DWORD crc, const BYTE* data, UINT size) {
    if (!g_crcTableReady) MakeCrcTable();
    crc = ~crc;
    for (; size >= 8; data += 8, size -= 8) {
        const DWORD low = crc ^ LittleEndian32(data);
        const DWORD high = LittleEndian32(data + 4);
        crc = g_crcTable[7][low & 0xFF] ^ g_crcTable[6][(low >> 8) & 0xFF] ^ g_crcTable[5][(low >> 16) & 0xFF] ^
              g_crcTable[4][low >> 24] ^ g_crcTable[3][high & 0xFF] ^ g_crcTable[2][(high >> 8) & 0xFF] ^
              g_crcTable[1][(high >> 16) & 0xFF] ^ g_crcTable[0][high >> 24];
    }
    for (UINT i = 0; i < size; ++i) crc = g_crcTable[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
