// mkpackage: makes the installer package (image, marker, SZDD payload, marker) and checks it with
// the installer's own marker scan before it is put in place.
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

#include "package/package.h"
#include "szdd/szdd.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] = "usage: mkpackage pack INSTALLER SAVER -o PACKAGE\n";

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

// Scans the written package as the installer will: from offset 40001 to the first marker, then to
// the second. Each must be where it was put.
void CheckWithInstallerScan(const std::string& path, const std::string& name, std::size_t firstMarker,
                            std::size_t payloadLength) {
    const HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) throw Failure(name, "cannot reopen the package to check it");
    _llseek(file, kMarkerSearchStart, 0);
    const LONG toFirst = FindMarker(file);
    const LONG toSecond = toFirst < 0 ? -1 : FindMarker(file);
    _lclose(file);
    const LONG expectedFirst = static_cast<LONG>(firstMarker) - kMarkerSearchStart;
    if (toFirst != expectedFirst)
        throw Failure(name, toFirst < 0 ? "the installer's scan finds no marker"
                                        : "the installer's scan finds a marker at offset " +
                                              std::to_string(toFirst + kMarkerSearchStart) +
                                              " inside the installer image, not at " + std::to_string(firstMarker));
    if (toSecond != static_cast<LONG>(payloadLength))
        throw Failure(name, "the installer's scan measures the payload as " + std::to_string(toSecond) +
                                " bytes, not " + std::to_string(payloadLength) +
                                " (the compressed data hold a marker-like run)");
}

void CheckPayloadExpands(const Bytes& payload, const Bytes& saver, const std::string& name) {
    Bytes expanded;
    const szdd::Result result = szdd::Expand(payload, &expanded);
    if (result.status != szdd::Status::ok) throw Failure(name, std::string("payload does not expand: ") + szdd::Describe(result.status));
    if (expanded != saver) throw Failure(name, "payload expands to other bytes than the screen saver");
}

int Pack(const std::string& installerPath, const std::string& saverPath, const std::string& packagePath) {
    const Bytes image = ReadFile(installerPath);
    const Bytes saver = ReadFile(saverPath);
    if (saver.size() > 0x7FFFFFFFu) throw Failure(saverPath, "too large for a package");
    const Bytes payload = szdd::Compress(saver);
    CheckPayloadExpands(payload, saver, saverPath);

    Bytes package = image;
    if (package.size() < static_cast<std::size_t>(kMarkerSearchStart)) package.resize(kMarkerSearchStart, 0);
    const std::size_t firstMarker = package.size();
    const Bytes marker = Marker();
    package.insert(package.end(), marker.begin(), marker.end());
    package.insert(package.end(), payload.begin(), payload.end());
    package.insert(package.end(), marker.begin(), marker.end());

    PendingFile out(packagePath);
    out.Write(package, 0755);
    CheckWithInstallerScan(out.path(), packagePath, firstMarker, payload.size());
    out.Commit();
    return kExitOk;
}

int Usage(const char* problem) {
    if (problem != nullptr) std::fprintf(stderr, "mkpackage: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 5 && args[0] == "pack" && args[3] == "-o") return Pack(args[1], args[2], args[4]);
        return Usage(args.empty() ? nullptr : "bad arguments");
    } catch (const Failure& failure) {
        std::fprintf(stderr, "mkpackage: %s\n", failure.what());
        return kExitBadInput;
    }
}
