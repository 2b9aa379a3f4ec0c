#include "hardening_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace hardening {

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

void leave_free(const fs::path& filler, uintmax_t free_bytes) {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + filler.string());
    // Large blocks first, then single bytes: tmpfs fills page by page, so the
    // filler ends on a page boundary when the device is full.
    std::vector<char> block(65536, 'f');
    for (size_t size = block.size(); size > 0; size /= 16) {
        while (::write(fd, block.data(), size) == static_cast<ssize_t>(size)) {
        }
    }
    const off_t full = ::lseek(fd, 0, SEEK_END);
    const off_t cut = full - static_cast<off_t>(free_bytes);
    const bool ok = cut >= 0 && ::ftruncate(fd, cut) == 0;
    ::close(fd);
    if (!ok) throw std::runtime_error("the device holds less than the free room asked for");
}

int use_up_inodes(const fs::path& folder) {
    int count = 0;
    for (;; ++count) {
        std::string file_name = "inode";
        file_name += std::to_string(count);
        const fs::path name = folder / file_name;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) break;
        ::close(fd);
    }
    return count;
}

Bytes lame_mp3(double seconds, int channels) {
    testing_support::TempDir dir;
    testing_support::WavSpec spec;
    spec.seconds = seconds;
    spec.channels = channels;
    testing_support::write_wav(dir / "in.wav", spec);
    const auto result = testing_support::run_command(
        "lame --quiet -b 128 " + testing_support::shell_quote((dir / "in.wav").string()) + " " +
        testing_support::shell_quote((dir / "out.mp3").string()) + " 2>&1");
    if (result.status != 0) throw std::runtime_error("lame failed: " + result.output);
    return testing_support::read_file(dir / "out.mp3");
}

}  // namespace hardening
