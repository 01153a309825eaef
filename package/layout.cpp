// The package read from outside: the installer's scan over the file, the markers' last bytes,
// the trailer, and the payload as a stream.
#include "package/layout.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace package {

namespace {

// Where the installer's two scans from offset 40001 end up in a file.
struct Scan {
    LONG toFirst = -1;   // from 40001 to the first marker; -1 when none is found
    LONG toSecond = -1;  // from the end of the first marker to the second: the payload's length
};

bool ScanAsTheInstaller(const std::string& path, Scan* scan) {
    const HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return false;
    if (_llseek(file, kMarkerSearchStart, FILE_BEGIN) == kMarkerSearchStart) {
        scan->toFirst = FindMarker(file);
        if (scan->toFirst >= 0) scan->toSecond = FindMarker(file);
    }
    _lclose(file);
    return true;
}

// Reads up to size bytes at offset; how many came, or -1 on failure.
long ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::vector<std::uint8_t> MarkerBytes() {
    std::vector<std::uint8_t> marker(kMarkerSize);
    for (int i = 0; i < kMarkerSize; ++i) marker[i] = static_cast<std::uint8_t>(i);
    return marker;
}

std::string FindLayout(const std::string& path, Layout* layout) {
    *layout = Layout{};
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failed("cannot open");
    const off_t size = lseek(fd, 0, SEEK_END);
    Scan scan;
    std::string problem;
    std::uint8_t lastByte = 0;
    std::uint8_t trailer[kTrailerSize];
    if (size < 0) {
        problem = Failed("cannot seek");
    } else if (!ScanAsTheInstaller(path, &scan)) {
        problem = "cannot reopen the package to scan it";
    } else if (scan.toFirst < 0) {
        problem = "damaged: the installer's scan from offset 40001 finds no marker";
    }
    if (!problem.empty()) {
        close(fd);
        return problem;
    }
    layout->fileSize = static_cast<std::uint64_t>(size);
    layout->firstMarker = kMarkerSearchStart + static_cast<std::uint64_t>(scan.toFirst);
    layout->payload = layout->firstMarker + kMarkerSize;
    if (ReadAt(fd, layout->firstMarker + kMarkerSize - 1, &lastByte, 1) < 0) problem = Failed("read failed");
    layout->firstMarkerWhole = lastByte == 0xFF;
    if (problem.empty() && scan.toSecond < 0)
        problem = "damaged: no second marker after the payload at offset " + std::to_string(layout->payload);
    if (problem.empty()) {
        layout->payloadLength = static_cast<std::uint64_t>(scan.toSecond);
        layout->secondMarker = layout->payload + layout->payloadLength;
        const std::uint64_t end = layout->secondMarker + kMarkerSize;
        layout->tail = layout->fileSize - std::min(layout->fileSize, end);
        const long gotLast = ReadAt(fd, end - 1, &lastByte, 1);
        layout->secondMarkerWhole = gotLast == 1 && lastByte == 0xFF;
        const long gotTrailer = ReadAt(fd, end, trailer, sizeof trailer);
        Trailer stated;
        if (gotLast < 0 || gotTrailer < 0) {
            problem = Failed("read failed");
        } else if (gotTrailer == kTrailerSize && ReadTrailer(trailer, &stated)) {
            layout->trailer = stated;
            if (stated.payloadLength != layout->payloadLength)
                problem = "damaged: the trailer states a payload of " + std::to_string(stated.payloadLength) +
                          " bytes, the markers frame " + std::to_string(layout->payloadLength);
        }
    }
    close(fd);
    return problem;
}

PayloadReader::PayloadReader(const std::string& path, const Layout& layout)
    : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)), remaining_(layout.payloadLength), trailer_(layout.trailer) {
    if (fd_ >= 0 && lseek(fd_, static_cast<off_t>(layout.payload), SEEK_SET) != static_cast<off_t>(layout.payload)) {
        close(fd_);
        fd_ = -1;
    }
}

PayloadReader::~PayloadReader() {
    if (fd_ >= 0) close(fd_);
}

long PayloadReader::Read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, remaining_));
    if (wanted == 0) return 0;
    ssize_t got;
    do {
        got = read(fd_, buffer, wanted);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return -1;
    if (got == 0) {
        // The file ended inside the payload, which the scan found whole: it changed meanwhile.
        errno = EIO;
        return -1;
    }
    remaining_ -= static_cast<std::uint64_t>(got);
    crc_ = Crc32(crc_, buffer, static_cast<UINT>(got));
    return static_cast<long>(got);
}

bool PayloadReader::ReadToEnd() {
    std::uint8_t block[64 * 1024];
    long got;
    while ((got = Read(block, sizeof block)) > 0) {
    }
    return got == 0;
}

bool PayloadReader::MatchesTrailer() const {
    return !trailer_ || (remaining_ == 0 && crc_ == trailer_->payloadCrc);
}

}  // namespace package
