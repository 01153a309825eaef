// The SZDD codec measured against its peers in one run: compressed size and time of ours, of
// mscompress and the exact optimum; expansion throughput of ours (memory to memory, file to file),
// of libmspack, of msexpand and of Wine's LZ32. Prints two Markdown tables of medians.
//
// Usage: szdd_bench WORKDIR [WINE64 WINE_PROBE.exe]
#include <fcntl.h>
#include <mspack.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "szdd/szdd.h"
#include "tests/szdd/corpus.h"

extern char** environ;

namespace {

using szdd_corpus::Bytes;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The median over kRuns of one call's time; short calls are repeated within a run for a stable
// figure.
double MedianSeconds(const std::function<void()>& call) {
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        int calls = 0;
        do {
            call();
            ++calls;
        } while (Seconds(start) < 0.02);
        runs.push_back(Seconds(start) / calls);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

Bytes ReadFile(const std::string& path) {
    Bytes bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    std::uint8_t block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

// Runs a program to its end, stdin and stdout from and to files when given; its exit code.
int RunProgram(const std::vector<std::string>& args, const char* in = nullptr, const char* out = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in != nullptr) posix_spawn_file_actions_addopen(&actions, 0, in, O_RDONLY, 0);
    if (out != nullptr) posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ours, file to file, as the LZ32 stand-in uses it: the header read, then the streaming expander.
struct Files {
    int in;
    int out;
};

bool ExpandFileToFile(const std::string& in, const std::string& out) {
    Files files{open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
    std::uint8_t head[szdd::kHeaderSize];
    szdd::Header header;
    bool ok = files.in >= 0 && files.out >= 0 && read(files.in, head, sizeof head) == sizeof head && szdd::ParseHeader(head, &header);
    if (ok) {
        const szdd::Stream stream{&files,
                                  [](void* c, std::uint8_t* buffer, std::size_t size) -> long {
                                      return read(static_cast<Files*>(c)->in, buffer, size);
                                  },
                                  [](void* c, const std::uint8_t* data, std::size_t size) {
                                      return write(static_cast<Files*>(c)->out, data, size) == static_cast<ssize_t>(size);
                                  }};
        ok = szdd::ExpandData(header, stream).status == szdd::Status::ok;
    }
    close(files.in);
    close(files.out);
    return ok;
}

struct CompressionRow {
    std::string name;
    std::size_t size;
    std::size_t ours;
    double oursSeconds;
    std::size_t mscompress;
    double mscompressSeconds;
    std::size_t optimum;
};

struct ExpansionRow {
    std::string name;
    std::size_t size;
    double memory;  // all in MB/s of output
    double file;
    double libmspack;
    double msexpand;
    std::optional<double> wine;
};

double MegabytesPerSecond(std::size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

void Fail(const std::string& what) {
    std::fprintf(stderr, "szdd_bench: %s\n", what.c_str());
    std::exit(1);
}

std::string WindowsPath(const std::string& path) {
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

// Wine's LZ32 through the probe; the probe takes its own median over runs.
std::optional<double> MeasureWine(const std::string& wine, const std::string& probe, const std::string& in,
                                  const std::string& out, std::size_t expected) {
    if (wine.empty()) return std::nullopt;
    const std::string report = out + ".report";
    if (RunProgram({wine, probe, WindowsPath(in), WindowsPath(out), "7"}, nullptr, report.c_str()) != 0) Fail("the Wine probe failed on " + in);
    long bytes = 0;
    double seconds = 0;
    const Bytes text = ReadFile(report);
    if (std::sscanf(std::string(text.begin(), text.end()).c_str(), "bytes %ld seconds %lf", &bytes, &seconds) != 2 ||
        static_cast<std::size_t>(bytes) != expected)
        Fail("Wine's LZCopy gave a wrong size for " + in);
    return MegabytesPerSecond(expected, seconds);
}

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fputs("usage: szdd_bench WORKDIR [WINE64 WINE_PROBE.exe]\n", stderr);
        return 2;
    }
    const std::string work = argv[1];
    const std::string wine = argc == 4 ? argv[2] : "";
    const std::string probe = argc == 4 ? argv[3] : "";

    std::vector<CompressionRow> compression;
    std::vector<ExpansionRow> expansion;
    int index = 0;
    for (auto& entry : szdd_corpus::Corpus()) {
        if (entry.bytes.size() < 4096) continue;  // no throughput to speak of
        std::fprintf(stderr, "szdd_bench: %s\n", entry.name.c_str());
        const std::string plain = work + "/file" + std::to_string(index++);
        const std::string packed = plain + ".ours";
        const std::string expanded = plain + ".out";
        WriteFile(plain, entry.bytes);

        Bytes ours;
        const double oursSeconds = MedianSeconds([&] { ours = szdd::Compress(entry.bytes); });
        WriteFile(packed, ours);
        const double mscompressSeconds = MedianSeconds([&] {
            unlink((plain + "_").c_str());
            if (RunProgram({"mscompress", plain}, nullptr, "/dev/null") != 0) Fail("mscompress failed on " + plain);
        });
        const std::size_t mscompressSize = ReadFile(plain + "_").size();
        compression.push_back({entry.name, entry.bytes.size(), ours.size(), oursSeconds, mscompressSize, mscompressSeconds,
                               szdd::CompressOptimal(entry.bytes).size()});

        Bytes back;
        const double memory = MedianSeconds([&] { szdd::Expand(ours, &back); });
        if (back != entry.bytes) Fail("ours expands wrongly: " + entry.name);
        const double file = MedianSeconds([&] {
            if (!ExpandFileToFile(packed, expanded)) Fail("ours failed file to file on " + packed);
        });
        if (ReadFile(expanded) != entry.bytes) Fail("ours expands wrongly file to file: " + entry.name);
        msszdd_decompressor* decompressor = mspack_create_szdd_decompressor(nullptr);
        const double libmspack = MedianSeconds([&] {
            if (decompressor->decompress(decompressor, packed.c_str(), expanded.c_str()) != MSPACK_ERR_OK) Fail("libmspack failed on " + packed);
        });
        mspack_destroy_szdd_decompressor(decompressor);
        if (ReadFile(expanded) != entry.bytes) Fail("libmspack expands wrongly: " + entry.name);
        const double msexpand = MedianSeconds([&] {
            if (RunProgram({"msexpand"}, packed.c_str(), expanded.c_str()) != 0) Fail("msexpand failed on " + packed);
        });
        if (ReadFile(expanded) != entry.bytes) Fail("msexpand expands wrongly: " + entry.name);
        const std::size_t n = entry.bytes.size();
        expansion.push_back({entry.name, n, MegabytesPerSecond(n, memory), MegabytesPerSecond(n, file),
                             MegabytesPerSecond(n, libmspack), MegabytesPerSecond(n, msexpand),
                             MeasureWine(wine, probe, packed, expanded + ".wine", n)});
    }

    std::printf("Compression (sizes in bytes, times in ms, medians of %d runs; mscompress timed as a process):\n\n", kRuns);
    std::printf("| file | bytes | ours | optimum | mscompress | ours ms | mscompress ms | ours/mscompress size | ours/mscompress time |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const auto& r : compression)
        std::printf("| %s | %zu | %zu | %zu | %zu | %.1f | %.1f | %.3f | %.3f |\n", r.name.c_str(), r.size, r.ours, r.optimum,
                    r.mscompress, r.oursSeconds * 1e3, r.mscompressSeconds * 1e3, double(r.ours) / r.mscompress,
                    r.oursSeconds / r.mscompressSeconds);
    std::printf("\nExpansion of our files (MB/s of output, medians of %d runs; msexpand timed as a process, Wine's 32-bit LZ32 inside its process):\n\n", kRuns);
    std::printf("| file | bytes | ours memory | ours file | libmspack file | msexpand | Wine LZ32 | ours file/libmspack | ours file/msexpand | ours file/Wine |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const auto& r : expansion)
        std::printf("| %s | %zu | %s | %s | %s | %s | %s | %s | %s | %s |\n", r.name.c_str(), r.size, Figure(r.memory).c_str(),
                    Figure(r.file).c_str(), Figure(r.libmspack).c_str(), Figure(r.msexpand).c_str(),
                    r.wine ? Figure(*r.wine).c_str() : "n/a", Figure(r.file / r.libmspack).c_str(),
                    Figure(r.file / r.msexpand).c_str(), r.wine ? Figure(r.file / *r.wine).c_str() : "n/a");
    if (wine.empty()) std::printf("\nWine's LZ32: not measured (wine64, Wine's 32-bit loader /usr/lib/wine/wine or the i686 mingw-w64 compiler absent).\n");
    return 0;
}
