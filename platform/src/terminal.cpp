// Terminal queries, key-at-a-time input and the interrupt flag.
#include "platform/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

int descriptor(StdStream stream) {
    switch (stream) {
        case StdStream::input: return STDIN_FILENO;
        case StdStream::output: return STDOUT_FILENO;
        case StdStream::error: return STDERR_FILENO;
    }
    return -1;
}

// Written by the signal handler, read by the program: the signal's number.
volatile sig_atomic_t interrupted = 0;

void on_interrupt(int signal_number) { interrupted = signal_number; }

// True when this process may change the terminal on standard input: changing
// it from a background process would stop the process (SIGTTOU).
bool in_foreground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

}  // namespace

bool is_terminal(StdStream stream) { return isatty(descriptor(stream)) == 1; }

int terminal_columns(StdStream stream) {
    winsize size{};
    if (ioctl(descriptor(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

struct KeyInput::Saved {
    termios settings;
};

KeyInput::KeyInput() {
    if (!is_terminal(StdStream::input)) return;
    ended_ = true;  // until the terminal is ours: reading it from the background would stop the process
    termios settings{};
    if (!in_foreground() || tcgetattr(STDIN_FILENO, &settings) != 0) return;
    saved_ = new Saved{settings};
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);  // ISIG stays: Ctrl-C still signals
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
    ended_ = !raw_;
}

KeyInput::~KeyInput() {
    if (raw_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->settings);
    delete saved_;
}

std::optional<char> KeyInput::poll() {
    if (ended_) return std::nullopt;
    pollfd waiting{STDIN_FILENO, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return std::nullopt;
    if ((waiting.revents & (POLLIN | POLLHUP)) == 0) {
        ended_ = true;  // POLLERR / POLLNVAL: nothing will ever come
        return std::nullopt;
    }
    char c;
    ssize_t n;
    do {
        n = read(STDIN_FILENO, &c, 1);
    } while (n < 0 && errno == EINTR);
    if (n == 1) return c;
    if (n == 0 && !raw_) ended_ = true;  // end of a pipe or file (a raw terminal answers 0 when idle)
    if (n < 0 && errno != EAGAIN) ended_ = true;
    return std::nullopt;
}

void install_interrupt_handler() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // one catch; the next signal takes the default action
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupt_requested() { return interrupted != 0; }

int interrupt_signal() { return interrupted; }

}  // namespace platform
