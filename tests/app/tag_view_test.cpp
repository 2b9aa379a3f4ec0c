#include <gtest/gtest.h>

#include "tag_view.h"

using zubmp3::app::tags_json;
using zubmp3::app::tags_table;
using zubmp3::app::TagV1;
using zubmp3::app::TagV2;

namespace {

const std::vector<std::string> kGenres = {"Blues", "Classic Rock", "Country"};

TagV1 sample_v1() {
    TagV1 v1;
    v1.result = 0;
    v1.track = 7;
    v1.title = "Café";
    v1.artist = "Ørsted";
    v1.year = "2024";
    v1.genre = 1;
    return v1;
}

}  // namespace

TEST(TagView, JsonHoldsEveryFieldOfBothTags) {
    TagV2 v2;
    v2.result = 0;
    v2.composer = "Anna";
    v2.original_artist = "Ben";
    const auto json = nlohmann::json::parse(tags_json(sample_v1(), v2, kGenres).dump());
    EXPECT_EQ(json["id3v1"]["result"], 0);
    EXPECT_EQ(json["id3v1"]["track"], 7);
    EXPECT_EQ(json["id3v1"]["title"], "Café");
    EXPECT_EQ(json["id3v1"]["genre"], 1);
    EXPECT_EQ(json["id3v1"]["genre_name"], "Classic Rock");
    EXPECT_EQ(json["id3v1"].size(), 9u);  // result, track, 5 texts, genre, genre_name
    EXPECT_EQ(json["id3v2"]["composer"], "Anna");
    EXPECT_EQ(json["id3v2"]["original_artist"], "Ben");
    EXPECT_EQ(json["id3v2"]["encoded_by"], "");
    EXPECT_EQ(json["id3v2"].size(), 13u);  // result and the twelve fields
}

TEST(TagView, FailedReadsGiveTheResultAndNullFields) {
    TagV1 v1;
    v1.result = 2;
    TagV2 v2;
    v2.result = 5;
    const auto json = tags_json(v1, v2, kGenres);
    EXPECT_EQ(json["id3v1"]["result"], 2);
    EXPECT_TRUE(json["id3v1"]["title"].is_null());
    EXPECT_TRUE(json["id3v1"]["genre"].is_null());
    EXPECT_EQ(json["id3v2"]["result"], 5);
    EXPECT_TRUE(json["id3v2"]["composer"].is_null());
}

TEST(TagView, TableLabelsEachField) {
    TagV2 v2;
    v2.result = 3;
    const std::string table = tags_table(sample_v1(), v2, kGenres);
    EXPECT_NE(table.find("ID3v1\n"), std::string::npos) << table;
    EXPECT_NE(table.find("  Title            Café\n"), std::string::npos) << table;
    EXPECT_NE(table.find("  Genre            1 (Classic Rock)\n"), std::string::npos) << table;
    EXPECT_NE(table.find("ID3v2: none (the tag is damaged)"), std::string::npos) << table;

    TagV1 none;
    none.result = 2;
    EXPECT_NE(tags_table(none, v2, kGenres).find("ID3v1: none (no tag)"), std::string::npos);
}

TEST(TagView, NoGenreAndGenresBeyondTheList) {
    TagV1 v1 = sample_v1();
    TagV2 v2;
    v2.result = 2;
    v1.genre = 255;  // no genre
    auto json = tags_json(v1, v2, kGenres);
    EXPECT_TRUE(json["id3v1"]["genre"].is_null());
    EXPECT_EQ(json["id3v1"]["genre_name"], "none");
    EXPECT_NE(tags_table(v1, v2, kGenres).find("  Genre            none\n"), std::string::npos);

    v1.genre = 200;  // a genre other programs list beyond the control's list
    json = tags_json(v1, v2, kGenres);
    EXPECT_EQ(json["id3v1"]["genre"], 200);
    EXPECT_TRUE(json["id3v1"]["genre_name"].is_null());
    EXPECT_NE(tags_table(v1, v2, kGenres).find("  Genre            200\n"), std::string::npos);
}
