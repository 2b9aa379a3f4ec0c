// The terminal as a command-line application needs it: whether a standard
// stream is a terminal, its width, key-at-a-time input, and Ctrl-C.
#pragma once

#include <optional>

namespace platform {

enum class StdStream { input, output, error };

bool is_terminal(StdStream stream);

// Columns of the terminal behind `stream`; 0 when it is not a terminal or
// does not say.
int terminal_columns(StdStream stream);

// Reads standard input one character at a time without waiting. When standard
// input is the terminal of a foreground process, the terminal is put into
// key-at-a-time mode without echo for the object's life (Ctrl-C still raises
// its signal) and restored afterwards; otherwise the characters come as the
// pipe or file delivers them. A terminal that this process may not take over
// (it runs in the background) is left alone and gives nothing.
class KeyInput {
public:
    KeyInput();
    ~KeyInput();
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    // The next character when one is waiting; nullopt when none is, or once
    // the input has ended.
    std::optional<char> poll();
    bool raw_terminal() const { return raw_; }

private:
    bool raw_ = false;
    bool ended_ = false;  // end of input, or a terminal not ours to read
    struct Saved;
    Saved* saved_ = nullptr;
};

// Catches Ctrl-C (SIGINT) and SIGTERM: the first of them only sets a flag that
// interrupt_requested() reports; the handler then gives way to the default
// action, so a second one ends the process as usual.
void install_interrupt_handler();
bool interrupt_requested();
// The number of the signal caught (SIGINT or SIGTERM); 0 before any.
int interrupt_signal();

}  // namespace platform
