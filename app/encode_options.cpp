#include "encode_options.h"

#include <algorithm>
#include <cctype>

namespace zubmp3::app {
namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool is_bitrate(Long value) { return std::find(kBitrates.begin(), kBitrates.end(), value) != kBitrates.end(); }

std::string bitrate_list() {
    std::string list;
    for (const Long rate : kBitrates) list += (list.empty() ? "" : ", ") + std::to_string(rate);
    return list;
}

}  // namespace

std::optional<std::string> mode_word(const std::string& given) {
    const std::string word = lower(given);
    for (const char* mode : {"stereo", "joint", "dual", "mono"})
        if (word == mode || (word.size() == 1 && word[0] == mode[0])) return std::string(mode);
    return std::nullopt;
}

std::optional<std::string> quality_word(const std::string& given) {
    const std::string word = lower(given);
    for (const char* quality : {"normal", "low", "high"})
        if (word == quality) return std::string(quality);
    return std::nullopt;
}

std::string bitrate_problem(const EncodeSettings& settings, bool vbr_max_given) {
    if (!is_bitrate(settings.bitrate))
        return "--bitrate: " + std::to_string(settings.bitrate) + " is not one of " + bitrate_list();
    if (!vbr_max_given) return {};
    if (!settings.vbr) return "--vbr-max needs --vbr";
    if (!is_bitrate(settings.vbr_max))
        return "--vbr-max: " + std::to_string(settings.vbr_max) + " is not one of " + bitrate_list();
    if (settings.vbr_max < settings.bitrate)
        return "--vbr-max " + std::to_string(settings.vbr_max) + " is below --bitrate " +
               std::to_string(settings.bitrate);
    return {};
}

}  // namespace zubmp3::app
