// mkpackage's commands: makes the installer package (image, marker, SZDD payload, marker, trailer),
// shows and unpacks one, and compresses and expands plain SZDD files as COMPRESS and EXPAND do.
//
// Every written file is written beside its destination, checked, and only then renamed into place,
// so a failure leaves nothing behind. Exit codes: 0 done, 1 bad input, 2 bad usage.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/mkpackage_commands.h"

#include "package/package.h"
#include "szdd/szdd.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: mkpackage pack INSTALLER SAVER -o PACKAGE\n"
    "       mkpackage inspect PACKAGE\n"
    "       mkpackage extract PACKAGE -o SAVER\n"
    "       mkpackage compress FILE -o SZDDFILE\n"
    "       mkpackage expand SZDDFILE -o FILE\n"
    "       mkpackage --help\n";

constexpr char kHelp[] =
    "\n"
    "  pack      appends the compressed screen saver to the installer between two markers, and\n"
    "            checks the package with the installer's own marker scan and by expanding it\n"
    "  inspect   shows a package's layout, its payload's SZDD header and compression ratio, and\n"
    "            whether the installer's scan finds the payload whole; exit 1 if it is damaged\n"
    "  extract   writes the screen saver a package holds, expanded; nothing is run\n"
    "  compress  writes a plain SZDD file, as COMPRESS makes them\n"
    "  expand    expands a plain SZDD file, as EXPAND does\n"
    "\n"
    "Exit status: 0 done, 1 bad input (the message names the file and the reason), 2 bad usage.\n"
    "On failure no output file is left behind.\n";

// A failure to report: which file, and why.
struct Failure : std::runtime_error {
    Failure(const std::string& file, const std::string& reason) : std::runtime_error(file + ": " + reason) {}
};

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure(path, std::string("cannot open: ") + std::strerror(errno));
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Failure(path, "read failed");
    return bytes;
}

Bytes Marker() {
    Bytes marker(kMarkerSize);
    for (int i = 0; i < kMarkerSize; ++i) marker[i] = static_cast<std::uint8_t>(i);
    return marker;
}

// Writes beside the destination, checks, then renames: no torn or unchecked output is ever left.
class PendingFile {
public:
    explicit PendingFile(const std::string& destination) : destination_(destination), path_(destination + ".XXXXXX") {
        const int fd = mkstemp(path_.data());
        if (fd < 0) throw Failure(destination, std::string("cannot create: ") + std::strerror(errno));
        close(fd);
    }
    ~PendingFile() {
        if (!committed_) unlink(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    const std::string& path() const { return path_; }
    void Write(const Bytes& content, mode_t mode) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) throw Failure(destination_, "write failed");
        if (chmod(path_.c_str(), mode) != 0) throw Failure(destination_, std::strerror(errno));
    }
    void Commit() {
        if (rename(path_.c_str(), destination_.c_str()) != 0)
            throw Failure(destination_, std::string("cannot rename into place: ") + std::strerror(errno));
        committed_ = true;
    }

private:
    std::string destination_;
    std::string path_;
    bool committed_ = false;
};

void WriteChecked(const std::string& destination, const Bytes& content, mode_t mode) {
    PendingFile out(destination);
    out.Write(content, mode);
    out.Commit();
}

// Where the installer's two scans from offset 40001 end up in a file.
struct Scan {
    LONG toFirst = -1;   // from 40001 to the first marker; -1 when none is found
    LONG toSecond = -1;  // from the end of the first marker to the second: the payload's length
};

Scan ScanAsTheInstaller(const std::string& path, const std::string& name) {
    const HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) throw Failure(name, "cannot reopen the package to scan it");
    Scan scan;
    if (_llseek(file, kMarkerSearchStart, FILE_BEGIN) == kMarkerSearchStart) {
        scan.toFirst = FindMarker(file);
        if (scan.toFirst >= 0) scan.toSecond = FindMarker(file);
    }
    _lclose(file);
    return scan;
}

// Scans the written package as the installer will. Each marker must be where it was put.
void CheckWithInstallerScan(const std::string& path, const std::string& name, std::size_t firstMarker,
                            std::size_t payloadLength) {
    const Scan scan = ScanAsTheInstaller(path, name);
    const LONG expectedFirst = static_cast<LONG>(firstMarker) - kMarkerSearchStart;
    if (scan.toFirst != expectedFirst)
        throw Failure(name, scan.toFirst < 0 ? "the installer's scan finds no marker"
                                             : "the installer's scan finds a marker at offset " +
                                                   std::to_string(scan.toFirst + kMarkerSearchStart) +
                                                   " inside the installer image, not at " + std::to_string(firstMarker));
    if (scan.toSecond != static_cast<LONG>(payloadLength))
        throw Failure(name, "the installer's scan measures the payload as " + std::to_string(scan.toSecond) +
                                " bytes, not " + std::to_string(payloadLength) +
                                " (the compressed data hold a marker-like run)");
}

// Expands SZDD bytes from the named file; `what` says which part of it they are.
Bytes ExpandOrFail(const Bytes& file, const std::string& name, const std::string& what) {
    Bytes expanded;
    const szdd::Result result = szdd::Expand(file, &expanded);
    if (result.status != szdd::Status::ok) throw Failure(name, what + " does not expand: " + szdd::Describe(result.status));
    return expanded;
}

void PutLittleEndian32(std::uint32_t value, Bytes* out) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The trailer that lets the installer check the packed file: magic, length, CRC-32.
Bytes TrailerFor(const Bytes& payload) {
    Bytes trailer(std::begin(kTrailerMagic), std::end(kTrailerMagic));
    PutLittleEndian32(static_cast<std::uint32_t>(payload.size()), &trailer);
    PutLittleEndian32(Crc32(0, payload.data(), static_cast<UINT>(payload.size())), &trailer);
    return trailer;
}

int Pack(const std::string& installerPath, const std::string& saverPath, const std::string& packagePath) {
    const Bytes image = ReadFile(installerPath);
    const Bytes saver = ReadFile(saverPath);
    if (saver.size() > 0x7FFFFFFFu) throw Failure(saverPath, "too large for a package");
    const Bytes payload = szdd::Compress(saver);
    if (ExpandOrFail(payload, saverPath, "its compressed form") != saver)
        throw Failure(saverPath, "payload expands to other bytes than the screen saver");

    Bytes package = image;
    if (package.size() < static_cast<std::size_t>(kMarkerSearchStart)) package.resize(kMarkerSearchStart, 0);
    const std::size_t firstMarker = package.size();
    const Bytes marker = Marker();
    package.insert(package.end(), marker.begin(), marker.end());
    package.insert(package.end(), payload.begin(), payload.end());
    package.insert(package.end(), marker.begin(), marker.end());
    const Bytes trailer = TrailerFor(payload);
    package.insert(package.end(), trailer.begin(), trailer.end());

    PendingFile out(packagePath);
    out.Write(package, 0755);
    CheckWithInstallerScan(out.path(), packagePath, firstMarker, payload.size());
    out.Commit();
    return kExitOk;
}

// A package's pieces as the installer's scan finds them.
struct Layout {
    std::size_t fileSize = 0;
    std::size_t firstMarker = 0;
    std::size_t payload = 0;
    std::size_t payloadLength = 0;
    std::size_t secondMarker = 0;
    std::size_t tail = 0;  // everything after the second marker, the trailer included
    bool hasTrailer = false;
    std::uint32_t trailerLength = 0;
    std::uint32_t trailerCrc = 0;
};

bool MarkerWholeAt(const Bytes& file, std::size_t offset) {
    const Bytes marker = Marker();
    return offset + marker.size() <= file.size() && std::equal(marker.begin(), marker.end(), file.begin() + static_cast<long>(offset));
}

// A trailer right after the second marker must agree with the payload, as the installer checks.
void ReadTrailer(const std::string& path, const Bytes& file, Layout* layout) {
    const std::size_t at = layout->secondMarker + kMarkerSize;
    layout->hasTrailer = layout->tail >= static_cast<std::size_t>(kTrailerSize) &&
                         std::equal(std::begin(kTrailerMagic), std::end(kTrailerMagic), file.begin() + static_cast<long>(at));
    if (!layout->hasTrailer) return;
    layout->trailerLength = LittleEndian32(file.data() + at + 8);
    layout->trailerCrc = LittleEndian32(file.data() + at + 12);
    char message[128];
    if (layout->trailerLength != layout->payloadLength) {
        std::snprintf(message, sizeof message, "damaged: the trailer states a payload of %u bytes, the markers frame %zu",
                      layout->trailerLength, layout->payloadLength);
        throw Failure(path, message);
    }
    const std::uint32_t crc = Crc32(0, file.data() + layout->payload, static_cast<UINT>(layout->payloadLength));
    if (crc != layout->trailerCrc) {
        std::snprintf(message, sizeof message, "damaged: the payload's CRC-32 is %08X, the trailer states %08X", crc,
                      layout->trailerCrc);
        throw Failure(path, message);
    }
}

// The layout, or the reason the installer could not read the package.
Layout FindLayout(const std::string& path, const Bytes& file) {
    const Scan scan = ScanAsTheInstaller(path, path);
    if (scan.toFirst < 0) throw Failure(path, "damaged: the installer's scan from offset 40001 finds no marker");
    Layout layout;
    layout.fileSize = file.size();
    layout.firstMarker = kMarkerSearchStart + static_cast<std::size_t>(scan.toFirst);
    layout.payload = layout.firstMarker + kMarkerSize;
    if (!MarkerWholeAt(file, layout.firstMarker)) throw Failure(path, "damaged: the first marker at offset " + std::to_string(layout.firstMarker) + " is not whole");
    if (scan.toSecond < 0) throw Failure(path, "damaged: no second marker after the payload at offset " + std::to_string(layout.payload));
    layout.payloadLength = static_cast<std::size_t>(scan.toSecond);
    layout.secondMarker = layout.payload + layout.payloadLength;
    if (!MarkerWholeAt(file, layout.secondMarker)) throw Failure(path, "damaged: the second marker at offset " + std::to_string(layout.secondMarker) + " is not whole");
    layout.tail = file.size() - layout.secondMarker - kMarkerSize;
    ReadTrailer(path, file, &layout);
    return layout;
}

Bytes PayloadOf(const Bytes& file, const Layout& layout) {
    const auto begin = file.begin() + static_cast<long>(layout.payload);
    return Bytes(begin, begin + static_cast<long>(layout.payloadLength));
}

void PrintPiece(const char* name, std::size_t offset, std::size_t length) {
    std::printf("  %-14s offset %10zu  length %10zu\n", name, offset, length);
}

int Inspect(const std::string& packagePath) {
    const Bytes file = ReadFile(packagePath);
    std::printf("%s: %zu bytes\n", packagePath.c_str(), file.size());
    const Layout layout = FindLayout(packagePath, file);
    PrintPiece("image", 0, layout.firstMarker);
    PrintPiece("first marker", layout.firstMarker, kMarkerSize);
    PrintPiece("payload", layout.payload, layout.payloadLength);
    PrintPiece("second marker", layout.secondMarker, kMarkerSize);
    PrintPiece("tail", layout.secondMarker + kMarkerSize, layout.tail);
    if (layout.hasTrailer) {
        std::printf("trailer: payload length %u, CRC-32 %08X, both match the payload\n", layout.trailerLength,
                    layout.trailerCrc);
    } else {
        std::printf("trailer: none (the plain layout: the installer cannot check the payload)\n");
    }

    const Bytes payload = PayloadOf(file, layout);
    szdd::Header header;
    if (!szdd::ParseHeader(payload, &header)) throw Failure(packagePath, "damaged: the payload is no SZDD file");
    std::string lastNameChar = "not stored";
    if (header.lastNameChar != 0) lastNameChar.assign({'\'', static_cast<char>(header.lastNameChar), '\''});
    std::printf("payload header: SZDD, mode '%c' (0x%02X), expanded length %u, last name character %s\n",
                header.mode >= 0x20 && header.mode < 0x7F ? header.mode : '?', header.mode, header.length,
                lastNameChar.c_str());
    if (header.length > 0)
        std::printf("compression: %zu of %u bytes, %.1f %%\n", payload.size(), header.length, 100.0 * payload.size() / header.length);
    const Bytes expanded = ExpandOrFail(payload, packagePath, "damaged: the payload");
    std::printf("installer scan: finds the whole payload, which expands to %zu bytes\n", expanded.size());
    return kExitOk;
}

int Extract(const std::string& packagePath, const std::string& saverPath) {
    const Bytes file = ReadFile(packagePath);
    const Layout layout = FindLayout(packagePath, file);
    const Bytes saver = ExpandOrFail(PayloadOf(file, layout), packagePath, "damaged: the payload");
    WriteChecked(saverPath, saver, 0644);
    return kExitOk;
}

int CompressFile(const std::string& inPath, const std::string& outPath) {
    const Bytes input = ReadFile(inPath);
    if (input.size() > 0xFFFFFFFFu) throw Failure(inPath, "too large for SZDD's 32-bit length");
    WriteChecked(outPath, szdd::Compress(input), 0644);
    return kExitOk;
}

int ExpandFile(const std::string& inPath, const std::string& outPath) {
    WriteChecked(outPath, ExpandOrFail(ReadFile(inPath), inPath, "the file"), 0644);
    return kExitOk;
}

int Usage(const char* problem) {
    if (problem != nullptr) std::fprintf(stderr, "mkpackage: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

// Runs the command the arguments name; kExitUsage when they name none.
int DispatchCommand(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    const bool withOutput = args.size() >= 2 && args[args.size() - 2] == "-o";
    if (args.size() == 5 && args[0] == "pack" && withOutput) return Pack(args[1], args[2], args[4]);
    if (args.size() == 2 && args[0] == "inspect") return Inspect(args[1]);
    if (args.size() == 4 && args[0] == "extract" && withOutput) return Extract(args[1], args[3]);
    if (args.size() == 4 && args[0] == "compress" && withOutput) return CompressFile(args[1], args[3]);
    if (args.size() == 4 && args[0] == "expand" && withOutput) return ExpandFile(args[1], args[3]);
    return Usage(args.empty() ? "no command given" : ("bad arguments for '" + args[0] + "'").c_str());
}

}  // namespace

int RunMkpackage(const std::vector<std::string>& args) {
    try {
        return DispatchCommand(args);
    } catch (const Failure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "mkpackage: %s\n", failure.what());
        return kExitBadInput;
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "mkpackage: %s\n", error.what());
        return kExitBadInput;
    }
}
