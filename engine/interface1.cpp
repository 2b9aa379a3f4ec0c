// The engine's single exported entry point and its dispatcher.
#include <cstring>
#include <string>
#include <unordered_map>

#include "dispatch.h"
#include "interface1.h"

namespace engine {

const Command* find_command_entry(std::string_view word) {
    static const auto table = [] {
        std::unordered_map<std::string_view, const Command*> words;
        for (const auto part : {encoding_commands(), tag_commands()})
            for (const Command& command : part) words.emplace(command.word, &command);
        return words;
    }();
    const auto found = table.find(word);
    return found == table.end() ? nullptr : found->second;
}

CommandHandler find_command(std::string_view word) {
    const Command* command = find_command_entry(word);
    return command == nullptr ? nullptr : command->handler;
}

}  // namespace engine

extern "C" ZUBMP3_ENGINE_EXPORT int32_t interface1(const char* command, intptr_t value, intptr_t text,
                                                    intptr_t index) {
    if (command == nullptr) return 0;
    const engine::Command* entry = engine::find_command_entry(std::string_view(command, std::strlen(command)));
    if (entry == nullptr) return 0;
    // The caller may be C or another runtime: no exception leaves the engine.
    try {
        return entry->handler(engine::CommandArgs{value, text, index});
    } catch (...) {
        return entry->failed;
    }
}
