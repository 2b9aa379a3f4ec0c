// The command table of interface1: each word maps to one small handler.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace engine {

struct CommandArgs {
    intptr_t value;  // integer, text to copy, or caller buffer to fill
    intptr_t text;   // "passfiles": the output path
    intptr_t index;  // "generategenre": the genre number
};

using CommandHandler = int32_t (*)(const CommandArgs& args);

struct Command {
    std::string_view word;
    CommandHandler handler;
    int32_t failed = 0;  // answered when the handler cannot finish (no memory): nothing crosses interface1
};

// The rows of two tables as one, at compile time.
template <size_t N, size_t M>
constexpr std::array<Command, N + M> join_commands(const std::array<Command, N>& first,
                                                   const std::array<Command, M>& second) {
    std::array<Command, N + M> all{};
    for (size_t i = 0; i < N; ++i) all[i] = first[i];
    for (size_t i = 0; i < M; ++i) all[N + i] = second[i];
    return all;
}

// Each module keeps its own part of the table.
std::span<const Command> encoding_commands();  // engine/encoding_commands.cpp
std::span<const Command> tag_commands();        // engine/tag_commands.cpp

// The entry for `word` (exact byte match), or nullptr.
const Command* find_command_entry(std::string_view word);
// Its handler, or nullptr.
CommandHandler find_command(std::string_view word);

// Argument helpers for handlers.
inline int32_t as_int(intptr_t slot) { return static_cast<int32_t>(slot); }
inline const char* as_text(intptr_t slot) { return reinterpret_cast<const char*>(slot); }
inline char* as_buffer(intptr_t slot) { return reinterpret_cast<char*>(slot); }

}  // namespace engine
