// Times Wine's LZ32 expanding one SZDD file: LZOpenFileA, LZCopy, LZClose, measured inside the
// program with QueryPerformanceCounter so that wine's start-up is left out. Built as a 32-bit
// program, like the installer, so that it times the 32-bit LZ32 the installer calls.
// Usage: wine_lz32 IN OUT RUNS; prints "bytes <n> seconds <median>".
#include <windows.h>
#include <lzexpand.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> seconds;
    LONG copied = 0;
    for (int run = 0; run < std::atoi(argv[3]); ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        OFSTRUCT sourceRecord, targetRecord;
        const INT source = LZOpenFileA(argv[1], &sourceRecord, OF_READ);
        const INT target = LZOpenFileA(argv[2], &targetRecord, OF_CREATE);
        copied = LZCopy(source, target);
        LZClose(target);
        LZClose(source);
        QueryPerformanceCounter(&end);
        if (source < 0 || target < 0 || copied < 0) return 1;
        seconds.push_back(double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("bytes %ld seconds %.9f\n", static_cast<long>(copied), seconds[seconds.size() / 2]);
    return 0;
}
