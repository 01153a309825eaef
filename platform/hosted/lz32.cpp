// The stand-in's LZ32: LZOpenFileA, LZCopy and LZClose over our SZDD expander.
#include <unistd.h>

#include <cstring>
#include <span>

#include "platform/hosted/file_io.h"
#include "platform/hosted/winapi_hosted.h"
#include "szdd/szdd.h"

namespace {

// LZ handles are numbered from here, apart from the plain file handles that LZCopy also takes.
constexpr INT kFirstLzHandle = 0x400;
constexpr int kLzFileCount = 16;

struct LzFile {
    bool open = false;
    HFILE file = HFILE_ERROR;
    bool compressed = false;
    szdd::Header header;
};

LzFile g_lzFiles[kLzFileCount];

LzFile* Find(INT handle) {
    const INT slot = handle - kFirstLzHandle;
    if (slot < 0 || slot >= kLzFileCount || !g_lzFiles[slot].open) return nullptr;
    return &g_lzFiles[slot];
}

// The plain file behind a handle: an LZ handle's file, or the handle itself.
HFILE FileOf(INT handle) {
    if (const LzFile* lz = Find(handle)) return lz->file;
    return handle >= 0 && handle < kFirstLzHandle ? handle : HFILE_ERROR;
}

// A source is compressed when it opens with the SZDD magic; any other file is read from its start.
void DetectCompression(LzFile* lz) {
    std::uint8_t header[szdd::kHeaderSize];
    const long got = hosted::ReadFully(lz->file, header, sizeof header, hosted::Operation::expandRead);
    lz->compressed = got == static_cast<long>(sizeof header) && szdd::ParseHeader(header, &lz->header);
    if (!lz->compressed) _llseek(lz->file, 0, FILE_BEGIN);
}

// The two files of one LZCopy, as the context of the expander's stream.
struct CopyFiles {
    HFILE source;
    HFILE target;
};

long ReadSource(void* context, std::uint8_t* buffer, std::size_t size) {
    return hosted::ReadFully(static_cast<CopyFiles*>(context)->source, buffer, size, hosted::Operation::expandRead);
}

bool WriteTarget(void* context, const std::uint8_t* data, std::size_t size) {
    const HFILE target = static_cast<CopyFiles*>(context)->target;
    return hosted::WriteFully(target, data, size, hosted::Operation::expandWrite) == static_cast<long>(size);
}

LONG CopyPlain(HFILE source, HFILE target) {
    static std::uint8_t block[64 * 1024];
    std::int64_t total = 0;
    for (;;) {
        const long got = hosted::ReadFully(source, block, sizeof block, hosted::Operation::expandRead);
        if (got < 0) return LZERROR_READ;
        if (got == 0) break;
        if (hosted::WriteFully(target, block, static_cast<std::size_t>(got), hosted::Operation::expandWrite) != got)
            return LZERROR_WRITE;
        total += got;
        if (total > INT32_MAX) return LZERROR_BADVALUE;
    }
    return static_cast<LONG>(total);
}

LONG ErrorFor(szdd::Status status) {
    switch (status) {
        case szdd::Status::writeFailed: return LZERROR_WRITE;
        case szdd::Status::unknownMode: return LZERROR_UNKNOWNALG;
        default: return LZERROR_READ;  // a failed read, or data cut short or too long
    }
}

}  // namespace

INT LZOpenFileA(LPSTR path, LPOFSTRUCT record, WORD style) {
    int slot = 0;
    while (slot < kLzFileCount && g_lzFiles[slot].open) ++slot;
    if (slot == kLzFileCount) return LZERROR_GLOBALLOC;
    const HFILE file = OpenFile(path, record, style);
    if (file == HFILE_ERROR) return LZERROR_BADINHANDLE;
    LzFile& lz = g_lzFiles[slot];
    lz = LzFile{};
    lz.open = true;
    lz.file = file;
    if (!(style & (OF_CREATE | OF_WRITE | OF_READWRITE))) DetectCompression(&lz);
    return kFirstLzHandle + slot;
}

LONG LZCopy(INT source, INT target) {
    const HFILE in = FileOf(source);
    if (in == HFILE_ERROR) return LZERROR_BADINHANDLE;
    const HFILE out = FileOf(target);
    if (out == HFILE_ERROR) return LZERROR_BADOUTHANDLE;
    const LzFile* lz = Find(source);
    if (lz == nullptr || !lz->compressed) return CopyPlain(in, out);
    CopyFiles files{in, out};
    const szdd::Result result = szdd::ExpandData(lz->header, szdd::Stream{&files, ReadSource, WriteTarget});
    if (result.status != szdd::Status::ok) return ErrorFor(result.status);
    return result.written > INT32_MAX ? LZERROR_BADVALUE : static_cast<LONG>(result.written);
}

void LZClose(INT handle) {
    if (LzFile* lz = Find(handle)) {
        _lclose(lz->file);
        lz->open = false;
    } else if (handle >= 0 && handle < kFirstLzHandle) {
        _lclose(handle);
    }
}
