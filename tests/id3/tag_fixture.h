// A tag test: files in a temporary folder mapped as drive C:, the engine's
// tag words called through interface1, and the engine's tag block count
// checked after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "id3/tag_state.h"
#include "interface1.h"
#include "test_support.h"

namespace tag_testing {

using testing_support::Bytes;
using testing_support::fs::path;

inline void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void append(Bytes& out, const std::string& more) {
    for (const char c : more) out.push_back(static_cast<uint8_t>(c));
}
inline Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes bytes(std::initializer_list<uint8_t> list) { return Bytes(list); }

inline void put_u32_be(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}
inline void put_synchsafe(Bytes& out, uint32_t v) {
    for (int s = 21; s >= 0; s -= 7) out.push_back(static_cast<uint8_t>((v >> s) & 0x7F));
}

// A frame of version 2.3 (plain size) or 2.4 (synchsafe size).
inline Bytes frame(const std::string& id, const Bytes& content, int major = 3, uint8_t flag0 = 0, uint8_t flag1 = 0) {
    Bytes out = bytes(id);
    if (major == 4)
        put_synchsafe(out, static_cast<uint32_t>(content.size()));
    else
        put_u32_be(out, static_cast<uint32_t>(content.size()));
    out.push_back(flag0);
    out.push_back(flag1);
    append(out, content);
    return out;
}

// A frame of version 2.2: three-letter identifier, three-byte size.
inline Bytes frame22(const std::string& id, const Bytes& content) {
    Bytes out = bytes(id);
    const auto n = static_cast<uint32_t>(content.size());
    out.insert(out.end(), {static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    append(out, content);
    return out;
}

// A text frame's content: encoding 0 and the text.
inline Bytes latin1_text(const std::string& text) {
    Bytes out{0};
    append(out, text);
    return out;
}

// A whole tag: header, body, `padding` zero bytes.
inline Bytes tag(int major, uint8_t flags, const Bytes& body, size_t padding = 0) {
    Bytes out = bytes("ID3");
    out.insert(out.end(), {static_cast<uint8_t>(major), 0, flags});
    put_synchsafe(out, static_cast<uint32_t>(body.size() + padding));
    append(out, body);
    out.insert(out.end(), padding, 0);
    return out;
}

// Stand-in audio: bytes that hold no tag marker.
inline Bytes audio(size_t size = 5000) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(0x20 + (i * 7) % 90);
    return out;
}

class TagTest : public ::testing::Test {
protected:
    void SetUp() override {
        start_count_ = engine::tag_alloc_count.load();
        call("v2cleanup");
        call_text("definetempfolder", drive_.windows("tmp"));
        std::filesystem::create_directories(dir_ / "tmp");
    }
    void TearDown() override {
        call("v2cleanup");
        EXPECT_EQ(engine::tag_alloc_count.load(), start_count_) << "tag blocks left alive";
        EXPECT_TRUE(std::filesystem::is_empty(dir_ / "tmp")) << "temporary file left behind";
    }

    static int32_t call(const char* word, intptr_t value = 0, intptr_t index = 0) {
        return interface1(word, value, 0, index);
    }
    static int32_t call_text(const char* word, const std::string& text) {
        return interface1(word, reinterpret_cast<intptr_t>(text.c_str()), 0, 0);
    }
    static std::string get_text(const char* word, intptr_t index = 0) {
        char buffer[2048];
        std::memset(buffer, 'x', sizeof buffer);
        interface1(word, reinterpret_cast<intptr_t>(buffer), 0, index);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
    }

    path host(const std::string& name) const { return dir_ / name; }
    std::string win(const std::string& name) const { return drive_.windows(name); }
    void write(const std::string& name, const Bytes& content) const { testing_support::write_file(host(name), content); }
    Bytes read(const std::string& name) const { return testing_support::read_file(host(name)); }

    testing_support::TempDir dir_;
    testing_support::DriveMapping drive_{'C', dir_.path()};

private:
    int32_t start_count_ = 0;
};

}  // namespace tag_testing
