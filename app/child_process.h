// Child processes of the application: started with their standard streams
// on pipes, read without blocking, told keys, and waited for.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zubmp3::app {

class ChildProcess {
public:
    // Starts argv[0] (a path) with `argv` and this process's environment,
    // `environment` ("NAME=value") added or replacing; its standard input,
    // output and error are pipes to this process. Throws std::runtime_error
    // when it cannot be started.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    ~ChildProcess();  // closes the pipes; a child still running is waited for
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes to the child's standard input; false once it is closed.
    bool send(const std::string& bytes);

    // Complete lines the child wrote since the last call, without their ends.
    std::vector<std::string> take_output_lines();
    std::vector<std::string> take_error_lines();

    // The exit status once the child has ended and its output is read:
    // its code, or 128 + the signal that ended it.
    std::optional<int> finished();

    int output_descriptor() const { return out_; }
    int error_descriptor() const { return err_; }

private:
    bool drain(int& descriptor, std::string& pending, std::vector<std::string>& lines);

    int pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string out_pending_, err_pending_;
    std::vector<std::string> out_lines_, err_lines_;
    std::optional<int> status_;
};

// Waits until one of `descriptors` (-1 entries are skipped) can be read or
// `milliseconds` have passed; a signal ends the wait early.
void wait_for_input(const std::vector<int>& descriptors, int milliseconds);

// Writing to a child that has ended must not end this process.
void ignore_broken_pipes();

// The path of the running program, for starting it again.
std::string own_executable();

}  // namespace zubmp3::app
