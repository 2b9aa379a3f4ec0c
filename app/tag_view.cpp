#include "tag_view.h"

#include <sstream>

namespace zubmp3::app {

namespace {

// The field table's texts are string literals, so their data() are C strings.
constexpr bool is_c_string(std::string_view text) { return text.data()[text.size()] == '\0'; }

template <typename Tag>
constexpr TextField<Tag> text_field(Id3v2Slot slot, std::string Tag::*member, int max_bytes) {
    const Id3v2Field& field = kId3v2Fields[slot];
    return {slot, field.key.data(), field.label.data(), field.option.data(), member, max_bytes};
}

constexpr bool fields_are_c_strings() {
    for (const auto& field : kId3v2Fields)
        if (!is_c_string(field.key) || !is_c_string(field.label) || !is_c_string(field.option)) return false;
    return true;
}
static_assert(fields_are_c_strings());

}  // namespace

const std::array<TextField<TagV1>, 5> kTagV1Texts = {{
    text_field(kTitle, &TagV1::title, 30),
    text_field(kArtist, &TagV1::artist, 30),
    text_field(kAlbum, &TagV1::album, 30),
    text_field(kYear, &TagV1::year, 4),
    text_field(kComment, &TagV1::comment, 30),
}};

// The members of TagV2 by slot; shown in the table's order.
const std::array<TextField<TagV2>, 12> kTagV2Texts = []() constexpr {
    std::array<std::string TagV2::*, kId3v2SlotCount> members{};
    members[kTitle] = &TagV2::title;
    members[kArtist] = &TagV2::artist;
    members[kAlbum] = &TagV2::album;
    members[kYear] = &TagV2::year;
    members[kGenre] = &TagV2::genre;
    members[kComment] = &TagV2::comment;
    members[kTrack] = &TagV2::track;
    members[kEncodedBy] = &TagV2::encoded_by;
    members[kUrl] = &TagV2::url;
    members[kCopyright] = &TagV2::copyright;
    members[kOriginalArtist] = &TagV2::original_artist;
    members[kComposer] = &TagV2::composer;
    std::array<TextField<TagV2>, 12> fields{};
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i] = text_field(kId3v2ShownOrder[i], members[kId3v2ShownOrder[i]], 0);
    return fields;
}();

std::string& field_value(TagV2& tag, Id3v2Slot slot) {
    for (const auto& field : kTagV2Texts)
        if (field.slot == slot) return tag.*field.member;
    return tag.title;  // every slot has its field
}

const std::string& field_value(const TagV2& tag, Id3v2Slot slot) { return field_value(const_cast<TagV2&>(tag), slot); }

std::string tag_result_words(TagCommand command, Long result) {
    const std::string words = tag_result_description(command, result);
    return words.empty() ? "unexpected result " + std::to_string(result) : words;
}

namespace {

// The name of a genre of the list; "" for one beyond it.
std::string genre_name(Long genre, const std::vector<std::string>& names) {
    if (genre < 0 || genre >= kGenreUnlisted || static_cast<size_t>(genre) >= names.size()) return {};
    return names[static_cast<size_t>(genre)];
}

constexpr int kLabelWidth = 17;

void line(std::ostringstream& out, const std::string& label, const std::string& value) {
    out << "  " << label << std::string(static_cast<size_t>(kLabelWidth - static_cast<int>(label.size())), ' ')
        << value << '\n';
}

}  // namespace

namespace {

nlohmann::json or_null(bool known, nlohmann::json value) { return known ? std::move(value) : nlohmann::json(); }

nlohmann::json v1_json(const TagV1& v1, const std::vector<std::string>& genre_names) {
    const bool read = v1.result == 0;
    const bool none = v1.genre == kGenreNone;
    const std::string name = none ? "none" : genre_name(v1.genre, genre_names);
    nlohmann::json one = {{"result", v1.result}, {"track", or_null(read, v1.track)}};
    for (const auto& field : kTagV1Texts) one[field.key] = or_null(read, v1.*field.member);
    one["genre"] = or_null(read && !none, v1.genre);
    one["genre_name"] = or_null(read && !name.empty(), name);
    return one;
}

nlohmann::json v2_json(const TagV2& v2) {
    nlohmann::json two = {{"result", v2.result}};
    for (const auto& field : kTagV2Texts) two[field.key] = or_null(v2.result == 0, v2.*field.member);
    return two;
}

}  // namespace

nlohmann::json tags_json(const std::optional<TagV1>& v1, const std::optional<TagV2>& v2,
                         const std::vector<std::string>& genre_names) {
    nlohmann::json out = nlohmann::json::object();
    if (v1) out["id3v1"] = v1_json(*v1, genre_names);
    if (v2) out["id3v2"] = v2_json(*v2);
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
        const std::string why = tag_result_words(TagCommand::read_v1, v1->result);
        out << "ID3v1: none (" << why << ")\n";
    }
    if (v2 && v2->result == 0) {
        out << "ID3v2\n";
        for (const auto& field : kTagV2Texts) line(out, field.label, (*v2).*field.member);
    } else if (v2) {
        const std::string why = tag_result_words(TagCommand::read_v2, v2->result);
        out << "ID3v2: none (" << why << ")\n";
    }
    return out.str();
}

}  // namespace zubmp3::app
