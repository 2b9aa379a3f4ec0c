#include "tag_view.h"

#include <sstream>

namespace zubmp3::app {

const std::array<TextField<TagV1>, 5> kTagV1Texts = {{
    {"title", "Title", "--title", &TagV1::title, 30},
    {"artist", "Artist", "--artist", &TagV1::artist, 30},
    {"album", "Album", "--album", &TagV1::album, 30},
    {"year", "Year", "--year", &TagV1::year, 4},
    {"comment", "Comment", "--comment", &TagV1::comment, 30},
}};

const std::array<TextField<TagV2>, 12> kTagV2Texts = {{
    {"title", "Title", "--title", &TagV2::title, 0},
    {"artist", "Artist", "--artist", &TagV2::artist, 0},
    {"album", "Album", "--album", &TagV2::album, 0},
    {"year", "Year", "--year", &TagV2::year, 0},
    {"genre", "Genre", "--genre", &TagV2::genre, 0},
    {"comment", "Comment", "--comment", &TagV2::comment, 0},
    {"track", "Track", "--track", &TagV2::track, 0},
    {"encoded_by", "Encoded by", "--encoded-by", &TagV2::encoded_by, 0},
    {"url", "URL", "--url", &TagV2::url, 0},
    {"copyright", "Copyright", "--copyright", &TagV2::copyright, 0},
    {"original_artist", "Original artist", "--original-artist", &TagV2::original_artist, 0},
    {"composer", "Composer", "--composer", &TagV2::composer, 0},
}};

std::string describe_v1_read(Long result) {
    switch (result) {
        case 0: return "tag read";
        case 1: return "the file cannot be opened";
        case 2: return "no tag";
        case 3: return "the file is shorter than a tag";
        default: return {};
    }
}

std::string describe_v2_read(Long result) {
    switch (result) {
        case 0: return "tag read";
        case 1: return "the file cannot be opened";
        case 2: return "no tag";
        case 3: return "the tag is damaged";
        default: return {};
    }
}

namespace {

std::string genre_name(Long genre, const std::vector<std::string>& names) {
    if (genre < 0 || static_cast<size_t>(genre) >= names.size()) return {};
    return names[static_cast<size_t>(genre)];
}

constexpr int kLabelWidth = 17;

void line(std::ostringstream& out, const std::string& label, const std::string& value) {
    out << "  " << label << std::string(static_cast<size_t>(kLabelWidth - static_cast<int>(label.size())), ' ')
        << value << '\n';
}

}  // namespace

nlohmann::json tags_json(const TagV1& v1, const TagV2& v2, const std::vector<std::string>& genre_names) {
    const bool v1_read = v1.result == 0;
    nlohmann::json one = {{"result", v1.result}};
    one["track"] = v1_read ? nlohmann::json(v1.track) : nullptr;
    for (const auto& field : kTagV1Texts)
        one[field.key] = v1_read ? nlohmann::json(v1.*field.member) : nullptr;
    one["genre"] = v1_read ? nlohmann::json(v1.genre) : nullptr;
    one["genre_name"] = v1_read ? nlohmann::json(genre_name(v1.genre, genre_names)) : nullptr;

    const bool v2_read = v2.result == 0;
    nlohmann::json two = {{"result", v2.result}};
    for (const auto& field : kTagV2Texts)
        two[field.key] = v2_read ? nlohmann::json(v2.*field.member) : nullptr;
    return {{"id3v1", one}, {"id3v2", two}};
}

std::string tags_table(const TagV1& v1, const TagV2& v2, const std::vector<std::string>& genre_names) {
    std::ostringstream out;
    if (v1.result == 0) {
        out << "ID3v1\n";
        for (const auto& field : kTagV1Texts) line(out, field.label, v1.*field.member);
        line(out, "Track", std::to_string(v1.track));
        std::string genre = std::to_string(v1.genre);
        if (const std::string name = genre_name(v1.genre, genre_names); !name.empty() && name != " ")
            genre += " (" + name + ")";
        line(out, "Genre", genre);
    } else {
        const std::string why = describe_v1_read(v1.result);
        out << "ID3v1: none (result " << v1.result << (why.empty() ? "" : ": " + why) << ")\n";
    }
    if (v2.result == 0) {
        out << "ID3v2\n";
        for (const auto& field : kTagV2Texts) line(out, field.label, v2.*field.member);
    } else {
        const std::string why = describe_v2_read(v2.result);
        out << "ID3v2: none (result " << v2.result << (why.empty() ? "" : ": " + why) << ")\n";
    }
    return out.str();
}

}  // namespace zubmp3::app
