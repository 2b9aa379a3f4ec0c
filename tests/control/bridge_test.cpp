// MP3Class against the test engine: loading, sharing and the call rules.
#include <gtest/gtest.h>

#include "fake_support.h"
#include "globais.h"
#include "mp3class.h"

namespace {

using namespace fake_support;
using zubmp3::AutomationError;
using zubmp3::MP3Class;
using zubmp3::Text;

constexpr bool kNoForce = false;

std::string description_of(const std::function<void()>& call, zubmp3::Long expected_number) {
    try {
        call();
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), expected_number);
        return utf8(error.description());
    }
    ADD_FAILURE() << "no automation error";
    return {};
}

TEST(BridgeLoader, InitLoadsTheEngineFromTheControlFolderOnce) {
    MP3Class bridge;
    EXPECT_FALSE(bridge.IsLoaded());
    bridge.Init(kNoForce);
    EXPECT_TRUE(bridge.IsLoaded());
    EXPECT_EQ(utf8(bridge.dll_path()), control_folder() + "\\zubmp3enc2.dll");
    EXPECT_EQ(utf8(zubmp3::Globais::ControlFolder), control_folder() + "\\");

    bridge.CallWindowLONG(u"bitrate", 192, 0, 0);
    bridge.Init(kNoForce);  // nothing happens
    const bool force = true;
    bridge.Init(force);  // one more load of the same library: its state stays
    ASSERT_NE(fake(), nullptr);
    EXPECT_EQ(fake()->words(), std::vector<std::string>{"bitrate"});

    bridge.Deinit();  // undoes both loads
    EXPECT_FALSE(bridge.IsLoaded());
    EXPECT_FALSE(engine_mapped());
    bridge.Deinit();  // a second Deinit does nothing

    bridge.Init(kNoForce);  // a fresh engine
    ASSERT_NE(fake(), nullptr);
    EXPECT_TRUE(fake()->calls.empty());
    bridge.Deinit();
}

TEST(BridgeLoader, CallsWithoutALoadedEngineRaiseAndCallNothing) {
    const std::string loading = "Error loading a required dll , please contact the developer " + kContact;
    MP3Class never_loaded;
    Text word = u"pause", value = u"abc", unused;
    EXPECT_EQ(description_of([&] { never_loaded.CallWindow(u"pause", u" ", u" ", u" "); }, 5007), loading);
    EXPECT_EQ(description_of([&] { never_loaded.CallWindow2(word, value, unused, 0); }, 5007), loading);
    EXPECT_EQ(value, u"abc");  // untouched: the check comes before any conversion
    EXPECT_EQ(description_of([&] { never_loaded.CallWindowLONG(u"bitrate", 1, 0, 0); }, 5007), loading);

    MP3Class released;
    released.Init(kNoForce);
    released.Deinit();
    EXPECT_EQ(description_of([&] { released.CallWindow(u"pause", u" ", u" ", u" "); }, 5007), loading);
}

TEST(BridgeLoader, EngineStaysWhileAnotherObjectHoldsIt) {
    MP3Class first, second;
    first.Init(kNoForce);
    second.Init(kNoForce);
    second.CallWindowLONG(u"bitrate", 64, 0, 0);

    first.Deinit();
    ASSERT_TRUE(engine_mapped());
    EXPECT_EQ(second.CallWindowLONG(u"quality", 2, 0, 0), 0);
    EXPECT_EQ(fake()->words(), (std::vector<std::string>{"bitrate", "quality"}));

    second.Deinit();  // the last holder: the engine leaves the process
    EXPECT_FALSE(engine_mapped());
}

TEST(BridgeCalls, TextAndNumberSlotsReachTheEngineAsSent) {
    MP3Class bridge;
    bridge.Init(kNoForce);
    FakeEngine& engine = *fake();
    engine.answers["intreturn"] = 0;
    engine.answers["bitrate"] = -7;

    bridge.CallWindow(u"passfiles", u"Z:\\in \u00e9.wav", u"out \u20ac.mp3", u" ");
    EXPECT_EQ(bridge.CallWindowLONG(u"bitrate", -5, 7, 9), -7);  // the result unchanged
    Text word = u"generategenre", buffer(300, u' '), unused;
    bridge.CallWindow2(word, buffer, unused, 148);

    ASSERT_EQ(engine.calls.size(), 3u);
    const FakeCall& files = engine.calls[0];
    EXPECT_EQ(files.value_text, "Z:\\in \xe9.wav");  // Latin-1
    EXPECT_EQ(files.text_text, "out ?.mp3");        // outside Latin-1
    EXPECT_EQ(files.index_text, " ");
    const FakeCall& numbers = engine.calls[1];
    EXPECT_EQ(static_cast<int32_t>(numbers.value), -5);
    EXPECT_EQ(numbers.text, 7);
    EXPECT_EQ(numbers.index, 9);
    EXPECT_EQ(engine.calls[2].index, 148);
    bridge.Deinit();
}

TEST(BridgeCalls, SecondTextOfCallWindow2HasRoomAndIsReadBackToItsFirstZero) {
    MP3Class bridge;
    bridge.Init(kNoForce);
    FakeEngine& engine = *fake();
    Text word = u"v1Title", unused;

    // An empty text gets 300 zero characters of room: 301 bytes with the terminator.
    engine.fills["v1Title"] = std::string(300, 'x') + '\0';
    Text empty;
    bridge.CallWindow2(word, empty, unused, 0);
    EXPECT_EQ(empty, Text(300, u'x'));

    // 298 characters are sent as 598 and the terminator.
    engine.fills["v1Title"] = std::string(598, 'y') + '\0';
    Text short_text(298, u'a');
    bridge.CallWindow2(word, short_text, unused, 0);
    EXPECT_EQ(short_text, Text(598, u'y'));

    // 299 characters get no room; the engine sees them as they are.
    engine.fills.erase("v1Title");
    Text exact(299, u'b');
    bridge.CallWindow2(word, exact, unused, 0);
    EXPECT_EQ(engine.calls.back().value_text, std::string(299, 'b'));
    EXPECT_EQ(exact, Text(299, u'b'));

    // Whatever follows the engine's zero is dropped.
    engine.fills["v1Title"] = std::string("abc\0def", 7);
    Text cut(300, u' ');
    bridge.CallWindow2(word, cut, unused, 0);
    EXPECT_EQ(cut, u"abc");

    // A zero character in a text ends it for the engine and for the read-back.
    engine.fills.erase("v1Title");
    Text with_zero(u"ab\0cd", 5);
    bridge.CallWindow2(word, with_zero, unused, 0);
    EXPECT_EQ(engine.calls.back().value_text, "ab");
    EXPECT_EQ(with_zero, u"ab");
    bridge.Deinit();
}

TEST(BridgeCalls, ASecondTextLeftWithoutZeroRaises5006AfterTheCommandRan) {
    MP3Class bridge;
    bridge.Init(kNoForce);
    FakeEngine& engine = *fake();
    engine.overfill.insert("v1Comment");
    Text word = u"v1Comment", buffer(300, u' '), third = u"third";
    EXPECT_EQ(description_of([&] { bridge.CallWindow2(word, buffer, third, 0); }, 5006),
              "Unexpected memory problem , please contact the developer " + kContact);
    EXPECT_EQ(buffer, Text(301, u'x'));  // already read back
    EXPECT_EQ(third, u"third");
    EXPECT_EQ(engine.words(), std::vector<std::string>{"v1Comment"});

    // Room added to a short text takes the whole fill, zero and all.
    engine.overfill.clear();
    engine.fills["v1Comment"] = std::string(301, 'z');
    Text empty;
    EXPECT_EQ(description_of([&] { bridge.CallWindow2(word, empty, third, 0); }, 5006),
              "Unexpected memory problem , please contact the developer " + kContact);
    bridge.Deinit();
}

}  // namespace
