#include "wav_input.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "platform/win32.h"

namespace {

using engine_testing::Bytes;
using engine_testing::chunk;
using engine_testing::wav_with_chunks;
using testing_support::WavSpec;

Bytes header(const WavSpec& spec) {
    WavSpec one = spec;
    one.seconds = 0.01;
    return testing_support::make_wav(one);
}

struct HeaderRow {
    int channels, sample_rate, bits, format_tag;
    int32_t expected;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
    *out << row.channels << "ch " << row.sample_rate << "Hz " << row.bits << "bit tag" << row.format_tag;
}

std::string row_name(const testing::TestParamInfo<HeaderRow>& info) { return "row" + std::to_string(info.index); }

class WavHeaderCheck : public testing::TestWithParam<HeaderRow> {};

TEST_P(WavHeaderCheck, ReasonCode) {
    const HeaderRow row = GetParam();
    int32_t channels = -1, rate = -1;
    const Bytes wav = header({row.channels, row.sample_rate, row.bits, row.format_tag});
    EXPECT_EQ(engine::check_wav_header(wav, channels, rate), row.expected);
    if (row.expected == 0) {
        EXPECT_EQ(channels, row.channels);
        EXPECT_EQ(rate, row.sample_rate);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, WavHeaderCheck,
                         testing::Values(HeaderRow{2, 44100, 16, 1, 0}, HeaderRow{1, 8000, 16, 1, 0},
                                         HeaderRow{2, 11025, 16, 1, 0}, HeaderRow{1, 12000, 16, 1, 0},
                                         HeaderRow{2, 16000, 16, 1, 0}, HeaderRow{2, 22050, 16, 1, 0},
                                         HeaderRow{2, 24000, 16, 1, 0}, HeaderRow{2, 32000, 16, 1, 0},
                                         HeaderRow{2, 48000, 16, 1, 0},
                                         HeaderRow{2, 44101, 16, 1, 19},  // one hertz off
                                         HeaderRow{2, 96000, 16, 1, 19}, HeaderRow{2, 44100, 24, 1, 7},
                                         HeaderRow{2, 44100, 8, 1, 7}, HeaderRow{3, 44100, 16, 1, 8},
                                         HeaderRow{2, 44100, 16, 3, 3},     // float tag, fields fine
                                         HeaderRow{2, 44101, 16, 3, 19},    // later checks take precedence
                                         HeaderRow{2, 44100, 24, 0xFFFE, 7}),
                         row_name);

TEST(WavHeader, ShortAndForeignFilesAreRefused) {
    int32_t channels = 0, rate = 0;
    const Bytes wav = header({});
    EXPECT_EQ(engine::check_wav_header(Bytes(wav.begin(), wav.begin() + 11), channels, rate), 2);
    EXPECT_EQ(engine::check_wav_header(Bytes{}, channels, rate), 2);
    Bytes rifx = wav;
    rifx[3] = 'X';
    EXPECT_EQ(engine::check_wav_header(rifx, channels, rate), 2);
    Bytes avi = wav;
    std::copy_n("AVI ", 4, avi.begin() + 8);
    EXPECT_EQ(engine::check_wav_header(avi, channels, rate), 2);
    // A 34-byte file: bits per sample read as zero.
    EXPECT_EQ(engine::check_wav_header(Bytes(wav.begin(), wav.begin() + 34), channels, rate), 7);
}

TEST(WavHeader, ReadFromFile) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    testing_support::write_wav(dir / "a.wav", {1, 22050});
    int32_t channels = 0, rate = 0;
    EXPECT_EQ(engine::read_wav_header(drive.windows("a.wav").c_str(), channels, rate), 0);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(engine::read_wav_header(drive.windows("missing.wav").c_str(), channels, rate), 1);
}

int64_t size_of(const Bytes& b) { return static_cast<int64_t>(b.size()); }

TEST(WavData, CanonicalHeaderStartsAt44AndEndsWithTheChunk) {
    const Bytes wav = testing_support::make_wav({2, 44100, 16, 1, 0.1});
    const auto data = engine::find_wav_data(wav, size_of(wav));
    EXPECT_EQ(data.begin, 44);
    EXPECT_EQ(data.end, size_of(wav));
}

TEST(WavData, TrailingChunksAreNotSamples) {
    const WavSpec spec{2, 44100, 16, 1, 0.1};
    const Bytes wav = wav_with_chunks(spec, {}, chunk("LIST", 200));
    const auto data = engine::find_wav_data(wav, size_of(wav));
    EXPECT_EQ(data.begin, 44);
    EXPECT_EQ(data.end, size_of(wav) - 208);
}

TEST(WavData, ImplausibleSizeRunsToTheEndOfTheFile) {
    const WavSpec spec{2, 44100, 16, 1, 0.1};
    for (const int64_t size : {int64_t{0}, int64_t{0xFFFFFFFF}}) {
        const Bytes wav = wav_with_chunks(spec, {}, chunk("LIST", 20), size);
        const auto data = engine::find_wav_data(wav, size_of(wav));
        EXPECT_EQ(data.begin, 44);
        EXPECT_EQ(data.end, size_of(wav)) << size;
    }
    // One byte more than the file holds.
    const Bytes samples = engine_testing::wav_samples(spec);
    const Bytes wav = wav_with_chunks(spec, {}, {}, static_cast<int64_t>(samples.size()) + 1);
    EXPECT_EQ(engine::find_wav_data(wav, size_of(wav)).end, size_of(wav));
}

TEST(WavData, ChunkBeforeDataIsSkipped) {
    const Bytes wav = wav_with_chunks({2, 44100, 16, 1, 0.1}, chunk("LIST", 26), {});
    EXPECT_EQ(engine::find_wav_data(wav, size_of(wav)).begin, 44 + 34);
}

TEST(WavData, DataTagAtTheLastSearchedPosition) {
    // "data" at 96: its size field lies beyond the 100 searched bytes.
    const Bytes wav = wav_with_chunks({2, 44100, 16, 1, 0.1}, chunk("LIST", 52), chunk("LIST", 10));
    const auto data = engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 104), size_of(wav));
    EXPECT_EQ(data.begin, 104);
    EXPECT_EQ(data.end, size_of(wav) - 18);
    // With only the 100 searched bytes known, the samples run to the end.
    EXPECT_EQ(engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 100), size_of(wav)).end, size_of(wav));
}

TEST(WavData, NoDataTagWithinTheFirst100BytesFallsBackToByte60) {
    const Bytes wav = wav_with_chunks({2, 44100, 16, 1, 0.1}, chunk("LIST", 60), {});
    const auto data = engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 104), size_of(wav));
    EXPECT_EQ(data.begin, 60);
    EXPECT_EQ(data.end, size_of(wav));
}

TEST(WavData, FileShorterThan100BytesStartsAt60) {
    const Bytes wav = testing_support::make_wav({1, 8000, 16, 1, 0.005});  // 44 + 80 bytes
    const Bytes short_file(wav.begin(), wav.begin() + 90);
    const auto data = engine::find_wav_data(short_file, 90);
    EXPECT_EQ(data.begin, 60);
    EXPECT_EQ(data.end, 90);
    // Even a header alone: the range is empty, never reversed.
    const auto empty = engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 44), 44);
    EXPECT_EQ(empty.begin, 60);
    EXPECT_GE(empty.end, empty.begin);
}

TEST(WavData, SeekPositionsTheFileAtTheSamples) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    testing_support::write_file(dir / "a.wav", wav_with_chunks({1, 8000, 16, 1, 0.1}, chunk("fact", 4), {}));
    FILE* file = win_fopen(drive.windows("a.wav").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    const auto data = engine::seek_wav_data(file);
    EXPECT_EQ(data.begin, 56);
    EXPECT_EQ(_ftelli64(file), 56);
    std::fclose(file);
}

// ---- The chunk walk ----

// Reads from `file` as seek_wav_data reads from a file.
engine::ReadAt reader(const Bytes& file) {
    return [&file](int64_t offset, uint8_t* bytes, size_t size) -> size_t {
        if (offset < 0 || offset >= size_of(file)) return 0;
        const size_t n = std::min(size, file.size() - static_cast<size_t>(offset));
        std::copy_n(file.begin() + offset, n, bytes);
        return n;
    };
}

engine::WavData locate(const Bytes& file) { return engine::locate_wav_data(reader(file), size_of(file)); }

Bytes text_chunk(const char* id, const std::string& body) {
    Bytes out = chunk(id, body.size());
    std::copy(body.begin(), body.end(), out.end() - static_cast<std::ptrdiff_t>(body.size()));
    if (body.size() % 2 == 1) out.push_back(0);  // the pad byte of an odd size
    return out;
}

TEST(WavWalk, FindsTheDataChunkBehindLongMetadata) {
    const WavSpec spec{2, 44100, 16, 1, 0.1};
    const Bytes samples = engine_testing::wav_samples(spec);
    // A broadcast-wave chunk and a LIST chunk: "data" is far beyond the first 100 bytes.
    const Bytes before_chunks = [] {
        Bytes b = chunk("bext", 602, 0);
        const Bytes list = text_chunk("LIST", "INFOINAMA title");
        b.insert(b.end(), list.begin(), list.end());
        return b;
    }();
    const Bytes wav = wav_with_chunks(spec, before_chunks, chunk("id3 ", 100));
    const auto data = locate(wav);
    EXPECT_EQ(data.begin, 36 + size_of(before_chunks) + 8);
    EXPECT_EQ(data.end, data.begin + size_of(samples));
}

TEST(WavWalk, DataWordInsideMetadataIsNotTheDataChunk) {
    // A title holding "data" within the first 100 bytes, at an odd offset:
    // the byte search would start there, off every sample frame.
    const Bytes list = text_chunk("LIST", std::string("INFOINAM\x0c\0\0\0Ab metadata\0", 24));
    const Bytes wav = wav_with_chunks({2, 44100, 16, 1, 0.1}, list, {});
    const auto data = locate(wav);
    EXPECT_EQ(data.begin, 36 + size_of(list) + 8);
    EXPECT_NE(engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 104), size_of(wav)).begin, data.begin);
}

TEST(WavWalk, OddChunkSizesArePadded) {
    const Bytes odd = text_chunk("LIST", "INFOISFTabc");  // size 11, one pad byte
    ASSERT_EQ(odd.size(), 20u);
    const Bytes wav = wav_with_chunks({1, 8000, 16, 1, 0.1}, odd, {});
    EXPECT_EQ(locate(wav).begin, 36 + 20 + 8);
}

TEST(WavWalk, BrokenChunkListFallsBackToTheSearch) {
    const WavSpec spec{2, 44100, 16, 1, 0.1};
    // A size that runs past the end of the file: the search finds "data" at 36 + 12.
    Bytes past = chunk("LIST", 4);
    past[4] = 0xF0, past[5] = 0xFF, past[6] = 0xFF, past[7] = 0x7F;
    EXPECT_EQ(locate(wav_with_chunks(spec, past, {})).begin, 36 + 12 + 8);
    // An id that is no chunk id (not printable).
    Bytes garbage = chunk("LIST", 4);
    garbage[0] = 0x01;
    EXPECT_EQ(locate(wav_with_chunks(spec, garbage, {})).begin, 36 + 12 + 8);
    // No data chunk anywhere: from byte 60, to the end of the file.
    Bytes no_data = wav_with_chunks(spec, chunk("LIST", 70), {});
    std::copy_n("dat!", 4, no_data.begin() + 36 + 78);
    EXPECT_EQ(locate(no_data).begin, 60);
    EXPECT_EQ(locate(no_data).end, size_of(no_data));
}

TEST(WavWalk, WalkIsBounded) {
    // With the fmt and data chunks, one header more than the walk looks at:
    // it gives up, and the search (no "data" in the first 100 bytes) answers byte 60.
    Bytes many;
    for (int i = 0; i < engine::kMaxChunksWalked - 1; ++i) {
        const Bytes c = chunk("JUNK", 0);
        many.insert(many.end(), c.begin(), c.end());
    }
    const Bytes wav = wav_with_chunks({1, 8000, 16, 1, 0.01}, many, {});
    EXPECT_EQ(locate(wav).begin, 60);
    // One chunk fewer and the walk reaches the data chunk.
    const Bytes fewer = wav_with_chunks({1, 8000, 16, 1, 0.01}, Bytes(many.begin() + 8, many.end()), {});
    EXPECT_EQ(locate(fewer).begin, size_of(fewer) - 160);  // 80 samples of 2 bytes
}

TEST(WavWalk, StreamedSizeRunsToTheEndOfAFileOfAnyLength) {
    // A header whose data chunk says 0xFFFFFFFF, in a file of 5 GiB.
    const Bytes wav = wav_with_chunks({2, 44100, 16, 1, 0.0}, chunk("LIST", 200), {}, 0xFFFFFFFF);
    const int64_t five_gib = int64_t{5} << 30;
    const auto read_head = reader(wav);
    const auto data = engine::locate_wav_data(read_head, five_gib);
    EXPECT_EQ(data.begin, size_of(wav));
    EXPECT_EQ(data.end, five_gib);
    EXPECT_EQ(engine::find_wav_data(Bytes(wav.begin(), wav.begin() + 104), five_gib).end, five_gib);
    // A real size within such a file still ends the chunk.
    const Bytes sized = wav_with_chunks({2, 44100, 16, 1, 0.0}, {}, {}, 0xFFFFFF00);
    EXPECT_EQ(engine::locate_wav_data(reader(sized), five_gib).end, 44 + int64_t{0xFFFFFF00});
}

}  // namespace
