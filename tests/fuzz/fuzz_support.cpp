// The fuzz targets' scratch directory and whole-file writes.
#include "tests/fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace fuzz_support {

const std::string& ScratchDirectory() {
    static const std::string directory = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quendolin-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Violated("a scratch directory can be made");
        return pattern;
    }();
    return directory;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Require(fd >= 0, "the scratch file can be opened");
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = write(fd, data + done, size - done);
        Require(put > 0, "the scratch file can be written");
        done += static_cast<std::size_t>(put);
    }
    close(fd);
}

}  // namespace fuzz_support
