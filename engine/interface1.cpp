// The engine's single exported entry point and its dispatcher.
#include <cstring>
#include <string>
#include <unordered_map>

#include "dispatch.h"
#include "interface1.h"

namespace engine {

CommandHandler find_command(std::string_view word) {
    static const auto table = [] {
        std::unordered_map<std::string_view, CommandHandler> words;
        for (const auto part : {encoding_commands(), tag_commands()})
            for (const Command& command : part) words.emplace(command.word, command.handler);
        return words;
    }();
    const auto found = table.find(word);
    return found == table.end() ? nullptr : found->second;
}

}  // namespace engine

extern "C" ZUBMP3_ENGINE_EXPORT int32_t interface1(const char* command, intptr_t value, intptr_t text,
                                                    intptr_t index) {
    if (command == nullptr) return 0;
    const engine::CommandHandler handler = engine::find_command(std::string_view(command, std::strlen(command)));
    return handler == nullptr ? 0 : handler(engine::CommandArgs{value, text, index});
}
