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
        default: return "unexpected result " + std::to_string(result);
    }
}

std::string describe_v2_read(Long result) {
    switch (result) {
        case 0: return "tag read";
        case 1: return "the file cannot be opened";
        case 2: return "no tag";
        case 3: return "the tag is damaged";
        default: return "unexpected result " + std::to_string(result);
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

nlohmann::json tags_json(const std::optional<TagV1>& v1, const std::optional<TagV2>& v2,
                         const std::vector<std::string>& genre_names) {
    nlohmann::json out = nlohmann::json::object();
    if (v1) {
        const bool read = v1->result == 0;
        const bool none = v1->genre == kGenreNone;
        nlohmann::json one = {{"result", v1->result}};
        one["track"] = read ? nlohmann::json(v1->track) : nullptr;
        for (const auto& field : kTagV1Texts) one[field.key] = read ? nlohmann::json((*v1).*field.member) : nullptr;
        one["genre"] = read && !none ? nlohmann::json(v1->genre) : nullptr;
        one["genre_name"] = read ? nlohmann::json(none ? "none" : genre_name(v1->genre, genre_names)) : nullptr;
        out["id3v1"] = one;
    }
    if (v2) {
        const bool read = v2->result == 0;
        nlohmann::json two = {{"result", v2->result}};
        for (const auto& field : kTagV2Texts) two[field.key] = read ? nlohmann::json((*v2).*field.member) : nullptr;
        out["id3v2"] = two;
    }
    return out;
}

std::string tags_table(const std::optional<TagV1>& v1, const std::optional<TagV2>& v2,
                       const std::vector<std::string>& genre_names) {
    std::ostringstream out;
    if (v1 && v1->result == 0) {
        out << "ID3v1\n";
        for (const auto& field : kTagV1Texts) line(out, field.label, (*v1).*field.member);
        line(out, "Track", std::to_string(v1->track));
        std::string genre = std::to_string(v1->genre);
        if (v1->genre == kGenreNone) genre = "none";
        else if (const std::string name = genre_name(v1->genre, genre_names); !name.empty())
            genre += " (" + name + ")";
        line(out, "Genre", genre);
    } else if (v1) {
        const std::string why = describe_v1_read(v1->result);
        out << "ID3v1: none (" << why << ")\n";
    }
    if (v2 && v2->result == 0) {
        out << "ID3v2\n";
        for (const auto& field : kTagV2Texts) line(out, field.label, (*v2).*field.member);
    } else if (v2) {
        const std::string why = describe_v2_read(v2->result);
        out << "ID3v2: none (" << why << ")\n";
    }
    return out.str();
}

}  // namespace zubmp3::app
