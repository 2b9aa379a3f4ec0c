// The tag methods' conversations with the engine, against the test engine.
#include <gtest/gtest.h>

#include <limits>

#include "fake_support.h"
#include "recorder.h"
#include "zubmp3/zubencode.h"

namespace {

using namespace fake_support;
using zubmp3::AutomationError;
using zubmp3::Long;
using zubmp3::Text;
using zubmp3::ZUBEncode;
using Log = std::vector<std::string>;

class TagsWithFakeEngine : public ::testing::Test {
protected:
    void SetUp() override {
        control.set_events(&events);
        control.MP3EncodePause();  // loads the engine
        fake_engine = fake();
        fake_engine->calls.clear();
    }

    Recorder events;
    ZUBEncode control;
    FakeEngine* fake_engine = nullptr;
};

const Log kV2Getters = {"v2Composersize", "v2Composer", "v2OriginalArtistsize", "v2OriginalArtist",
                        "v2Copyrightsize", "v2Copyright", "v2URLsize", "v2URL", "v2EncodedBysize", "v2EncodedBy",
                        "v2Commentsize", "v2Comment", "v2Genresize", "v2Genre", "v2Yearsize", "v2Year",
                        "v2Albumsize", "v2Album", "v2Artistsize", "v2Artist", "v2Titlesize", "v2Title",
                        "v2Tracksize", "v2Track"};

TEST_F(TagsWithFakeEngine, ReadV1FillsEveryOutputFromTheEngine) {
    fake_engine->fills["v1Title"] = std::string("Caf\xe9  \0", 7);  // raw, trailing blanks kept
    fake_engine->fills["v1Artist"] = std::string("Artist\0", 7);
    fake_engine->answers["v1Track"] = 9;
    fake_engine->answers["v1Genre"] = 17;
    Long track = -1, genre = -1;
    Text title = u"t", artist = u"a", album = u"b", year = u"y", comment = u"c";
    EXPECT_EQ(control.Read_ID3_v1_tag(u"Z:\\a.mp3", track, title, artist, album, year, genre, comment), 0);
    EXPECT_EQ(fake_engine->words(),
              (Log{"getid3v1", "v1Title", "v1Artist", "v1Album", "v1Year", "v1Comment", "v1Track", "v1Genre"}));
    EXPECT_EQ(fake_engine->calls[0].value_text, "Z:\\a.mp3");
    EXPECT_EQ(fake_engine->calls[1].value_text, std::string(300, ' '));
    EXPECT_EQ(title, u"Caf\u00e9  ");
    EXPECT_EQ(artist, u"Artist");
    EXPECT_EQ(album, Text(300, u' '));  // this engine wrote nothing
    EXPECT_EQ(track, 9);
    EXPECT_EQ(genre, 17);
}

TEST_F(TagsWithFakeEngine, AFailedReadLeavesTheOutputsAsPassed) {
    fake_engine->answers["getid3v1"] = 2;
    Long track = 4, genre = 5;
    Text title = u"t", artist = u"a", album = u"b", year = u"y", comment = u"c";
    EXPECT_EQ(control.Read_ID3_v1_tag(u"Z:\\a.mp3", track, title, artist, album, year, genre, comment), 2);
    EXPECT_EQ(fake_engine->words(), Log{"getid3v1"});
    EXPECT_EQ(track, 4);
    EXPECT_EQ(genre, 5);
    EXPECT_EQ(title + artist + album + year + comment, u"tabyc");

    fake_engine->calls.clear();
    fake_engine->answers["getid3v2"] = 3;
    Text v2[12] = {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"11", u"12"};
    EXPECT_EQ(control.Read_ID3_v2_tag(u"Z:\\a.mp3", v2[0], v2[1], v2[2], v2[3], v2[4], v2[5], v2[6], v2[7], v2[8],
                                      v2[9], v2[10], v2[11]),
              3);
    EXPECT_EQ(fake_engine->words(), (Log{"getid3v2", "v2cleanup"}));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(utf8(v2[i]), std::to_string(i + 1));
}

TEST_F(TagsWithFakeEngine, WriteV1StagesInOrderWithTheCommentAfterTheTrack) {
    fake_engine->answers["setid3v1"] = 4;
    EXPECT_EQ(control.Write_ID3_v1_tag(u"Z:\\a.mp3", 5, u"T\u00e9", u"Ar \u20ac", u"Al", u"1999", 300, u"Co"), 4);
    EXPECT_EQ(fake_engine->words(), (Log{"wv1Title", "wv1Artist", "wv1Album", "wv1Year", "wv1Track", "wv1Comment",
                                         "wv1Genre", "setid3v1"}));
    const auto& calls = fake_engine->calls;
    EXPECT_EQ(calls[0].value_text, "T\xe9");
    EXPECT_EQ(calls[1].value_text, "Ar ?");
    EXPECT_EQ(calls[4].value, 5);
    EXPECT_EQ(calls[6].value, 300);  // passed as it is
    EXPECT_EQ(calls[7].value_text, "Z:\\a.mp3");

    fake_engine->calls.clear();
    fake_engine->answers["removeid3v1"] = 1;
    EXPECT_EQ(control.Remove_ID3V1_tag(u"Z:\\b.mp3"), 1);
    EXPECT_EQ(fake_engine->words(), Log{"removeid3v1"});
}

TEST_F(TagsWithFakeEngine, GenreListClearsThenNamesEachNumber) {
    fake_engine->fills["generategenre"] = std::string("Blues\0", 6);
    control.Generate_ID3v1Genre();
    ASSERT_EQ(events.genres.size(), 150u);
    EXPECT_EQ(events.genres[0], (std::pair<bool, std::string>{true, ""}));
    EXPECT_EQ(events.genres[1], (std::pair<bool, std::string>{false, "Blues"}));
    ASSERT_EQ(fake_engine->calls.size(), 149u);
    for (size_t i = 0; i < 149; ++i) {
        EXPECT_EQ(fake_engine->calls[i].index, static_cast<intptr_t>(i));
        EXPECT_EQ(fake_engine->calls[i].value_text, std::string(300, ' '));
    }
}

TEST_F(TagsWithFakeEngine, ReadV2SizesEachBufferFromItsSizeWord) {
    fake_engine->answers["v2Titlesize"] = 400;
    fake_engine->fills["v2Title"] = std::string(400, 'T') + '\0';
    fake_engine->fills["v2Track"] = std::string("7/9\0", 4);
    Text v2[12] = {u"x", u"x", u"x", u"x", u"x", u"x", u"x", u"x", u"x", u"x", u"x", u"x"};
    Text& track = v2[0];
    Text& title = v2[1];
    EXPECT_EQ(control.Read_ID3_v2_tag(u"Z:\\a.mp3", track, title, v2[2], v2[3], v2[4], v2[5], v2[6], v2[7], v2[8],
                                      v2[9], v2[10], v2[11]),
              0);
    Log expected = {"getid3v2"};
    expected.insert(expected.end(), kV2Getters.begin(), kV2Getters.end());
    expected.push_back("v2cleanup");
    EXPECT_EQ(fake_engine->words(), expected);
    EXPECT_EQ(title, Text(400, u'T'));
    EXPECT_EQ(track, u"7/9");
    // A size of 0 gives 10 blanks; this engine leaves them.
    EXPECT_EQ(fake_engine->calls[2].value_text, std::string(10, ' '));
    EXPECT_EQ(v2[2], Text(10, u' '));
}

TEST_F(TagsWithFakeEngine, ASizeNearTheLongLimitRaisesOverflowInsteadOfWrapping) {
    Text v2[12];
    fake_engine->answers["v2Composersize"] = std::numeric_limits<Long>::max() - 9;
    try {
        control.Read_ID3_v2_tag(u"Z:\\a.mp3", v2[0], v2[1], v2[2], v2[3], v2[4], v2[5], v2[6], v2[7], v2[8], v2[9],
                                v2[10], v2[11]);
        ADD_FAILURE() << "no overflow";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 6);
        EXPECT_EQ(error.description(), u"Overflow");
    }
    EXPECT_EQ(fake_engine->words(), (Log{"getid3v2", "v2Composersize"}));  // no cleanup after a raise

    fake_engine->answers["v2Composersize"] = -11;
    EXPECT_THROW(control.Read_ID3_v2_tag(u"Z:\\a.mp3", v2[0], v2[1], v2[2], v2[3], v2[4], v2[5], v2[6], v2[7], v2[8],
                                         v2[9], v2[10], v2[11]),
                 AutomationError);
}

TEST_F(TagsWithFakeEngine, WriteV2StagesAllTwelveBetweenTwoCleanups) {
    fake_engine->answers["setid3v2"] = 7;
    EXPECT_EQ(control.Write_ID3_v2_tag(u"Z:\\a.mp3", u"track", u"title", u"artist", u"album", u"year", u"genre",
                                       u"comment", u"encodedby", u"url", u"copyright", u"original", u"composer"),
              7);
    EXPECT_EQ(fake_engine->words(),
              (Log{"definetempfolder", "v2cleanup", "wv2Composer", "wv2OriginalArtist", "wv2Copyright", "wv2URL",
                   "wv2EncodedBy", "wv2Comment", "wv2Genre", "wv2Year", "wv2Album", "wv2Artist", "wv2Title",
                   "wv2Track", "setid3v2", "v2cleanup"}));
    const auto& calls = fake_engine->calls;
    EXPECT_EQ(calls[0].value_text, "");  // the new file is built beside the target
    const char* values[] = {"composer", "original", "copyright", "url", "encodedby", "comment",
                            "genre",    "year",     "album",     "artist", "title",   "track"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(calls[2 + i].value_text, values[i]);

    fake_engine->calls.clear();
    EXPECT_EQ(control.Remove_ID3V2_tag(u"Z:\\a.mp3"), 0);
    EXPECT_EQ(fake_engine->words(), (Log{"definetempfolder", "remove_id3v2_tag"}));
    EXPECT_EQ(fake_engine->calls[0].value_text, "");
}

TEST_F(TagsWithFakeEngine, ABridgeErrorEndsAReadWithEarlierOutputsFilled) {
    fake_engine->fills["v1Title"] = std::string("New\0", 4);
    fake_engine->overfill.insert("v1Artist");
    Long track = 1, genre = 2;
    Text title = u"t", artist = u"a", album = u"b", year = u"y", comment = u"c";
    EXPECT_THROW(control.Read_ID3_v1_tag(u"Z:\\a.mp3", track, title, artist, album, year, genre, comment),
                 AutomationError);
    EXPECT_EQ(title, u"New");
    EXPECT_EQ(album, u"b");
    EXPECT_EQ(track, 1);
}

}  // namespace
