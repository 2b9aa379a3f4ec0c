#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace zubmp3::app {
namespace {

struct Pipe {
    int read = -1, write = -1;
};

Pipe make_pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error(std::string("no pipe: ") + std::strerror(errno));
    return {ends[0], ends[1]};
}

void close_descriptor(int& descriptor) {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

void split_lines(std::string& pending, std::vector<std::string>& lines) {
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        lines.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
}

// This process's environment with `extra` ("NAME=value") added, each
// replacing the variable of its name.
std::vector<std::string> merged_environment(const std::vector<std::string>& extra) {
    const auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (std::none_of(extra.begin(), extra.end(), [&](const std::string& e) { return name(e) == name(text); }))
            merged.push_back(text);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> pointers(const std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (const std::string& text : texts) list.push_back(const_cast<char*>(text.c_str()));
    list.push_back(nullptr);
    return list;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    Pipe in = make_pipe(), out = make_pipe(), err = make_pipe();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    const std::vector<std::string> merged = merged_environment(environment);
    std::vector<char*> args = pointers(argv), variables = pointers(merged);
    const int error = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), variables.data());
    posix_spawn_file_actions_destroy(&actions);
    for (int* end : {&in.read, &out.write, &err.write}) close_descriptor(*end);
    in_ = in.write;
    out_ = out.read;
    err_ = err.read;
    if (error != 0) {
        pid_ = -1;
        for (int* end : {&in_, &out_, &err_}) close_descriptor(*end);
        throw std::runtime_error(argv[0] + ": cannot be started: " + std::strerror(error));
    }
    fcntl(out_, F_SETFL, O_NONBLOCK);
    fcntl(err_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    for (int* end : {&in_, &out_, &err_}) close_descriptor(*end);
    if (pid_ > 0 && !status_) {
        int ignored;
        while (waitpid(pid_, &ignored, 0) < 0 && errno == EINTR) {
        }
    }
}

bool ChildProcess::send(const std::string& bytes) {
    if (in_ < 0) return false;
    if (write(in_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) return true;
    close_descriptor(in_);
    return false;
}

// Reads what is there; false once the pipe has ended.
bool ChildProcess::drain(int& descriptor, std::string& pending, std::vector<std::string>& lines) {
    char buffer[4096];
    while (descriptor >= 0) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got > 0) {
            pending.append(buffer, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) break;
        close_descriptor(descriptor);  // end of the child's output (or an error)
        if (!pending.empty() && pending.back() != '\n') pending += '\n';  // an unended last line
    }
    split_lines(pending, lines);
    return descriptor >= 0;
}

std::vector<std::string> ChildProcess::take_output_lines() {
    drain(out_, out_pending_, out_lines_);
    return std::exchange(out_lines_, {});
}

std::vector<std::string> ChildProcess::take_error_lines() {
    drain(err_, err_pending_, err_lines_);
    return std::exchange(err_lines_, {});
}

std::optional<int> ChildProcess::finished() {
    if (status_) return status_;
    if (out_ >= 0 || err_ >= 0) return std::nullopt;  // output still to come
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    if (done != pid_) return status_ = 255;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

void wait_for_input(const std::vector<int>& descriptors, int milliseconds) {
    std::vector<pollfd> waiting;
    for (const int descriptor : descriptors)
        if (descriptor >= 0) waiting.push_back({descriptor, POLLIN, 0});
    poll(waiting.data(), waiting.size(), milliseconds);  // EINTR: a signal to look at
}

void ignore_broken_pipes() { signal(SIGPIPE, SIG_IGN); }

std::string own_executable() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("zubmp3") : path.string();
}

}  // namespace zubmp3::app
