// mkpackage's commands: makes the installer package (image, marker, SZDD payload, marker, trailer),
// shows and unpacks one, and compresses and expands plain SZDD files as COMPRESS and EXPAND do.
//
// Every written file is written beside its destination, checked, and only then renamed into place,
// so a failure leaves nothing behind. expand, extract and inspect stream through the expander's
// fixed buffers, so their memory stays the same whatever the file's size. Exit codes: 0 done,
// 1 bad input, 2 bad usage.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/mkpackage_commands.h"

#include "package/layout.h"
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
    "-o OUT may stand anywhere among the arguments; OUT must not be one of the inputs.\n"
    "Exit status: 0 done, 1 bad input (the message names the file and the reason), 2 bad usage.\n"
    "On failure no output file is left behind.\n";

// A failure to report: which file, and why.
struct Failure : std::runtime_error {
    Failure(const std::string& file, const std::string& reason) : std::runtime_error(file + ": " + reason) {}
};

// Bad usage, reported with the usage lines unless they would not help.
struct UsageError : std::runtime_error {
    explicit UsageError(const std::string& problem, bool withUsage = true)
        : std::runtime_error(problem), showUsage(withUsage) {}
    bool showUsage;
};

std::string ErrnoText() { return std::strerror(errno); }

// Opens an input for reading, refusing what is no regular file in plain words.
int OpenInput(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Failure(path, "cannot open: " + ErrnoText());
    struct stat status;
    if (fstat(fd, &status) != 0) {
        const std::string reason = "cannot read: " + ErrnoText();
        close(fd);
        throw Failure(path, reason);
    }
    if (!S_ISREG(status.st_mode)) {
        close(fd);
        throw Failure(path, S_ISDIR(status.st_mode) ? "is a directory, not a file" : "is not a regular file");
    }
    return fd;
}

// Reads up to size bytes, retrying short reads; how many came, or -1 on failure.
long ReadSome(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

class InputFile {
public:
    explicit InputFile(const std::string& path) : path_(path), fd_(OpenInput(path)) {}
    ~InputFile() { close(fd_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    const std::string& path() const { return path_; }
    long Read(std::uint8_t* buffer, std::size_t size) { return ReadSome(fd_, buffer, size); }
    Bytes ReadAll() {
        Bytes bytes;
        std::uint8_t block[64 * 1024];
        long got;
        while ((got = Read(block, sizeof block)) > 0) bytes.insert(bytes.end(), block, block + got);
        if (got < 0) throw Failure(path_, "read failed: " + ErrnoText());
        return bytes;
    }

private:
    std::string path_;
    int fd_;
};

Bytes ReadFile(const std::string& path) { return InputFile(path).ReadAll(); }

// Writes beside the destination, checks, then renames: no torn or unchecked output is ever left.
class PendingFile {
public:
    explicit PendingFile(const std::string& destination) : destination_(destination), path_(destination + ".XXXXXX") {
        fd_ = mkstemp(path_.data());
        if (fd_ < 0) throw Failure(destination, "cannot create: " + ErrnoText());
    }
    ~PendingFile() {
        if (fd_ >= 0) close(fd_);
        if (!committed_) unlink(path_.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    const std::string& path() const { return path_; }
    const std::string& destination() const { return destination_; }

    // False on failure, errno telling why.
    bool TryWrite(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t put = write(fd_, data, size);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            data += put;
            size -= static_cast<std::size_t>(put);
        }
        return true;
    }
    void Write(const Bytes& content) {
        if (!TryWrite(content.data(), content.size())) throw WriteFailure();
    }
    Failure WriteFailure() const { return Failure(destination_, "write failed: " + ErrnoText()); }
    // Gives the file its mode and closes it; then it can be checked and committed.
    void Finish(mode_t mode) {
        if (fchmod(fd_, mode) != 0) throw Failure(destination_, "cannot set its mode: " + ErrnoText());
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) throw WriteFailure();
    }
    void Commit() {
        if (rename(path_.c_str(), destination_.c_str()) != 0)
            throw Failure(destination_, "cannot rename into place: " + ErrnoText());
        committed_ = true;
    }

private:
    std::string destination_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

void WriteChecked(const std::string& destination, const Bytes& content, mode_t mode) {
    PendingFile out(destination);
    out.Write(content);
    out.Finish(mode);
    out.Commit();
}

// Expands SZDD bytes held in memory from the named file; `what` says which part of it they are.
Bytes ExpandOrFail(const Bytes& file, const std::string& name, const std::string& what) {
    Bytes expanded;
    const szdd::Result result = szdd::Expand(file, &expanded);
    if (result.status != szdd::Status::ok) throw Failure(name, what + " does not expand: " + szdd::Describe(result.status));
    return expanded;
}

// The streaming expander's ends: an input (a plain file or a package's payload) and an output
// file, or none when only the expansion's outcome counts.
template <typename Input>
struct ExpandIo {
    Input* in;
    PendingFile* out;
    int readErrno = 0;
    int writeErrno = 0;

    static long Read(void* context, std::uint8_t* buffer, std::size_t size) {
        auto* io = static_cast<ExpandIo*>(context);
        const long got = io->in->Read(buffer, size);
        if (got < 0) io->readErrno = errno;
        return got;
    }
    static bool Write(void* context, const std::uint8_t* data, std::size_t size) {
        auto* io = static_cast<ExpandIo*>(context);
        if (io->out == nullptr || io->out->TryWrite(data, size)) return true;
        io->writeErrno = errno;
        return false;
    }
};

// Reads an SZDD header through Read; false when the data are no SZDD file.
template <typename Input>
bool ReadHeader(Input* in, const std::string& name, szdd::Header* header) {
    std::uint8_t bytes[szdd::kHeaderSize];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const long more = in->Read(bytes + got, sizeof bytes - got);
        if (more < 0) throw Failure(name, "read failed: " + ErrnoText());
        if (more == 0) break;
        got += static_cast<std::size_t>(more);
    }
    return szdd::ParseHeader(std::span<const std::uint8_t>(bytes, got), header);
}

// Streams the data after the header through the expander into out (or nowhere).
template <typename Input>
szdd::Result StreamExpand(Input* in, const szdd::Header& header, PendingFile* out, int* readErrno, int* writeErrno) {
    ExpandIo<Input> io{in, out};
    const szdd::Result result = szdd::ExpandData(header, szdd::Stream{&io, ExpandIo<Input>::Read, ExpandIo<Input>::Write});
    *readErrno = io.readErrno;
    *writeErrno = io.writeErrno;
    return result;
}

void Warn(const std::string& file, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "mkpackage: %s: warning: %s\n", file.c_str(), text.c_str());
}

// Scans the written package as the installer will. Each marker must be where it was put.
void CheckWithInstallerScan(const std::string& path, const std::string& name, std::size_t firstMarker,
                            std::size_t payloadLength) {
    package::Layout layout;
    const std::string problem = package::FindLayout(path, &layout);
    if (layout.firstMarker == 0) throw Failure(name, "the package as written is " + problem);
    if (layout.firstMarker != firstMarker)
        throw Failure(name, "the installer's scan finds a marker at offset " + std::to_string(layout.firstMarker) +
                                " inside the installer image, not at " + std::to_string(firstMarker));
    if (!problem.empty()) throw Failure(name, "the package as written is " + problem);
    if (layout.payloadLength != payloadLength)
        throw Failure(name, "the installer's scan measures the payload as " + std::to_string(layout.payloadLength) +
                                " bytes, not " + std::to_string(payloadLength) +
                                " (the compressed data hold a marker-like run)");
}

// SZDD data that a package can frame: never holding the bytes the installer's scan takes for a
// marker, which are a marker's first kMarkerMatched bytes.
Bytes CompressFramable(const Bytes& input) {
    const Bytes marker = package::MarkerBytes();
    return szdd::Compress(input, 0, std::span(marker).first(kMarkerMatched));
}

int Pack(const std::string& installerPath, const std::string& saverPath, const std::string& packagePath) {
    const Bytes image = ReadFile(installerPath);
    const Bytes saver = ReadFile(saverPath);
    if (saver.size() > 0x7FFFFFFFu) throw Failure(saverPath, "too large for a package");
    const Bytes marker = package::MarkerBytes();
    const Bytes payload = CompressFramable(saver);
    if (ExpandOrFail(payload, saverPath, "its compressed form") != saver)
        throw Failure(saverPath, "payload expands to other bytes than the screen saver");

    Bytes package = image;
    if (package.size() < static_cast<std::size_t>(kMarkerSearchStart)) package.resize(kMarkerSearchStart, 0);
    const std::size_t firstMarker = package.size();
    package.insert(package.end(), marker.begin(), marker.end());
    package.insert(package.end(), payload.begin(), payload.end());
    package.insert(package.end(), marker.begin(), marker.end());
    std::uint8_t trailer[kTrailerSize];
    WriteTrailer(Trailer{static_cast<DWORD>(payload.size()), Crc32(0, payload.data(), static_cast<UINT>(payload.size()))},
                 trailer);
    package.insert(package.end(), trailer, trailer + kTrailerSize);

    PendingFile out(packagePath);
    out.Write(package);
    out.Finish(0755);
    CheckWithInstallerScan(out.path(), packagePath, firstMarker, payload.size());
    out.Commit();
    return kExitOk;
}

// The layout of a package the installer would install, with warnings for what it takes although
// it is not as mkpackage writes it.
package::Layout LayoutOrFail(const std::string& path) {
    { InputFile check(path); }  // a missing file, a directory: said in plain words before any scan
    package::Layout layout;
    const std::string problem = package::FindLayout(path, &layout);
    if (!problem.empty()) throw Failure(path, problem);
    if (!layout.firstMarkerWhole)
        Warn(path, "the first marker's last byte (offset " + std::to_string(layout.firstMarker + kMarkerSize - 1) +
                       ") is not 0xFF; the installer takes the marker all the same");
    if (!layout.secondMarkerWhole)
        Warn(path, "the second marker's last byte (offset " + std::to_string(layout.secondMarker + kMarkerSize - 1) +
                       ") is " + (layout.secondMarker + kMarkerSize > layout.fileSize ? "missing" : "not 0xFF") +
                       "; the installer takes the marker all the same");
    return layout;
}

// Expands a package's payload into out (or nowhere), checking it against the trailer on the way.
szdd::Header ExpandPayload(const std::string& path, const package::Layout& layout, PendingFile* out) {
    package::PayloadReader payload(path, layout);
    if (!payload.opened()) throw Failure(path, "cannot reopen the package to read its payload: " + ErrnoText());
    szdd::Header header;
    const bool isSzdd = ReadHeader(&payload, path, &header);
    szdd::Result result{szdd::Status::notSzdd, 0};
    int readErrno = 0;
    int writeErrno = 0;
    if (isSzdd) result = StreamExpand(&payload, header, out, &readErrno, &writeErrno);
    // A payload that differs from the trailer's is damage whatever the expander made of it.
    if (result.status != szdd::Status::readFailed && result.status != szdd::Status::writeFailed && !payload.ReadToEnd()) {
        readErrno = errno;
        result.status = szdd::Status::readFailed;
    }
    if (result.status != szdd::Status::readFailed && !payload.MatchesTrailer()) {
        char message[128];
        std::snprintf(message, sizeof message, "damaged: the payload's CRC-32 is %08X, the trailer states %08X",
                      static_cast<unsigned>(payload.crc()), static_cast<unsigned>(layout.trailer->payloadCrc));
        throw Failure(path, message);
    }
    switch (result.status) {
        case szdd::Status::ok: return header;
        case szdd::Status::notSzdd: throw Failure(path, "damaged: the payload is no SZDD file");
        case szdd::Status::readFailed: errno = readErrno; throw Failure(path, "read failed: " + ErrnoText());
        case szdd::Status::writeFailed: errno = writeErrno; throw out->WriteFailure();
        default: throw Failure(path, std::string("damaged: the payload does not expand: ") + szdd::Describe(result.status));
    }
}

void PrintPiece(const char* name, std::uint64_t offset, std::uint64_t length) {
    std::printf("  %-14s offset %10llu  length %10llu\n", name, static_cast<unsigned long long>(offset),
                static_cast<unsigned long long>(length));
}

int Inspect(const std::string& packagePath) {
    const package::Layout layout = LayoutOrFail(packagePath);
    std::printf("%s: %llu bytes\n", packagePath.c_str(), static_cast<unsigned long long>(layout.fileSize));
    PrintPiece("image", 0, layout.firstMarker);
    PrintPiece("first marker", layout.firstMarker, kMarkerSize);
    PrintPiece("payload", layout.payload, layout.payloadLength);
    PrintPiece("second marker", layout.secondMarker, kMarkerSize);
    PrintPiece("tail", layout.secondMarker + kMarkerSize, layout.tail);
    std::fflush(stdout);
    const szdd::Header header = ExpandPayload(packagePath, layout, nullptr);
    if (layout.trailer) {
        std::printf("trailer: payload length %u, CRC-32 %08X, both match the payload\n",
                    static_cast<unsigned>(layout.trailer->payloadLength), static_cast<unsigned>(layout.trailer->payloadCrc));
    } else {
        std::printf("trailer: none (the plain layout: the installer cannot check the payload)\n");
    }
    std::string lastNameChar = "not stored";
    if (header.lastNameChar != 0) lastNameChar.assign({'\'', static_cast<char>(header.lastNameChar), '\''});
    std::printf("payload header: SZDD, mode '%c' (0x%02X), expanded length %u, last name character %s\n",
                header.mode >= 0x20 && header.mode < 0x7F ? header.mode : '?', header.mode, header.length,
                lastNameChar.c_str());
    if (header.length > 0)
        std::printf("compression: %llu of %u bytes, %.1f %%\n", static_cast<unsigned long long>(layout.payloadLength),
                    header.length, 100.0 * static_cast<double>(layout.payloadLength) / header.length);
    std::printf("installer scan: finds the whole payload, which expands to %u bytes\n", header.length);
    return kExitOk;
}

int Extract(const std::string& packagePath, const std::string& saverPath) {
    const package::Layout layout = LayoutOrFail(packagePath);
    PendingFile out(saverPath);
    ExpandPayload(packagePath, layout, &out);
    out.Finish(0644);
    out.Commit();
    return kExitOk;
}

int CompressFile(const std::string& inPath, const std::string& outPath) {
    const Bytes input = ReadFile(inPath);
    if (input.size() > 0xFFFFFFFFu) throw Failure(inPath, "too large for SZDD's 32-bit length");
    // Free of marker runs too, so that the file can be framed into a package as it is.
    WriteChecked(outPath, CompressFramable(input), 0644);
    return kExitOk;
}

int ExpandFile(const std::string& inPath, const std::string& outPath) {
    InputFile in(inPath);
    szdd::Header header;
    if (!ReadHeader(&in, inPath, &header)) throw Failure(inPath, szdd::Describe(szdd::Status::notSzdd));
    PendingFile out(outPath);
    int readErrno = 0;
    int writeErrno = 0;
    const szdd::Result result = StreamExpand(&in, header, &out, &readErrno, &writeErrno);
    switch (result.status) {
        case szdd::Status::ok: break;
        case szdd::Status::readFailed: errno = readErrno; throw Failure(inPath, "read failed: " + ErrnoText());
        case szdd::Status::writeFailed: errno = writeErrno; throw out.WriteFailure();
        default: throw Failure(inPath, std::string("the file does not expand: ") + szdd::Describe(result.status));
    }
    out.Finish(0644);
    out.Commit();
    return kExitOk;
}

// A command's operands and its output file, -o OUT taken from anywhere among the arguments.
struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> output;
};

CommandLine Parse(const std::vector<std::string>& args) {
    CommandLine line;
    bool options = true;
    bool commandSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "-o") {
            if (i + 1 == args.size()) throw UsageError("-o needs a file name after it");
            if (line.output) throw UsageError("-o given twice");
            line.output = args[++i];
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "'");
        } else if (!commandSeen) {
            line.command = arg;  // the first word that is no option names the command
            commandSeen = true;
        } else {
            line.operands.push_back(arg);
        }
    }
    if (!commandSeen) throw UsageError("no command given");
    return line;
}

// Same file: the same device and inode, whatever the spelling or link that leads there.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first;
    struct stat second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

struct Command {
    const char* name;
    const char* operands;  // as the usage shows them
    std::size_t operandCount;
    bool output;
};

constexpr Command kCommands[] = {
    {"pack", "INSTALLER SAVER -o PACKAGE", 2, true},
    {"inspect", "PACKAGE", 1, false},
    {"extract", "PACKAGE -o SAVER", 1, true},
    {"compress", "FILE -o SZDDFILE", 1, true},
    {"expand", "SZDDFILE -o FILE", 1, true},
};

// Runs the command the arguments name; kExitUsage when they name none.
int DispatchCommand(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError("no command given");
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    const CommandLine line = Parse(args);
    const Command* command = nullptr;
    for (const Command& known : kCommands)
        if (line.command == known.name) command = &known;
    if (command == nullptr) throw UsageError("unknown command '" + line.command + "'");
    if (line.operands.size() != command->operandCount || line.output.has_value() != command->output)
        throw UsageError(std::string("'") + command->name + "' takes " + command->operands);
    if (line.output) {
        // Writing over an input would destroy what is being read.
        for (const std::string& input : line.operands)
            if (SameFile(input, *line.output))
                throw UsageError("-o " + *line.output + " names the input " + input + "; choose another output file",
                                 false);
    }
    const std::vector<std::string>& in = line.operands;
    if (line.command == "pack") return Pack(in[0], in[1], *line.output);
    if (line.command == "inspect") return Inspect(in[0]);
    if (line.command == "extract") return Extract(in[0], *line.output);
    if (line.command == "compress") return CompressFile(in[0], *line.output);
    return ExpandFile(in[0], *line.output);
}

}  // namespace

int RunMkpackage(const std::vector<std::string>& args) {
    try {
        return DispatchCommand(args);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "mkpackage: %s\n", error.what());
        if (error.showUsage) std::fputs(kUsage, stderr);
        return kExitUsage;
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
