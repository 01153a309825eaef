// The Windows side of the profile comparison: replays writes with the system's
// WritePrivateProfileStringA. Built with the mingw cross compiler, run under Wine.
//
// Its one argument names a command file of records, one a line: file, section, key, value,
// separated by the byte 0x1F; a field that is the single byte 0x18 stands for a null pointer.
// Prints "ok" or "failed" for each record, in order.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kFieldSeparator = '\x1f';
constexpr char kNullField[] = "\x18";

std::vector<std::string> SplitFields(const std::string& record) {
    std::vector<std::string> fields(1);
    for (char c : record) {
        if (c == kFieldSeparator) fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

const char* FieldOrNull(const std::string& field) { return field == kNullField ? nullptr : field.c_str(); }

bool ReplayRecord(const std::string& record) {
    const std::vector<std::string> fields = SplitFields(record);
    if (fields.size() != 4) return false;
    return WritePrivateProfileStringA(FieldOrNull(fields[1]), FieldOrNull(fields[2]), FieldOrNull(fields[3]),
                                      fields[0].c_str()) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: profile_probe COMMANDFILE\n");
        return 2;
    }
    std::FILE* commands = std::fopen(argv[1], "rb");
    if (commands == nullptr) {
        std::fprintf(stderr, "profile_probe: cannot open %s\n", argv[1]);
        return 2;
    }
    std::string record;
    for (int c = std::fgetc(commands); c != EOF; c = std::fgetc(commands)) {
        if (c != '\n') {
            record += static_cast<char>(c);
            continue;
        }
        std::printf("%s\n", ReplayRecord(record) ? "ok" : "failed");
        record.clear();
    }
    std::fclose(commands);
    // Wine keeps profiles in a cache; a null call flushes it before the files are compared.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
    return 0;
}
