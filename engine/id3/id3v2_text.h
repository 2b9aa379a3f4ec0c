// Encoded texts inside ID3v2 frames: where a frame's texts sit, ID3v2.4 texts
// recoded for ID3v2.3, and a frame's texts brought into ISO-8859-1.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace engine {

using ByteSpan = std::span<const uint8_t>;
using Bytes = std::vector<uint8_t>;

// A frame's data with every encoded text in ISO-8859-1: single zero
// terminators, encoding byte 0, '?' for what ISO-8859-1 cannot hold (`lossy`
// tells whether that happened); the values of a text frame are joined with
// '/'.
struct Latin1Data {
    Bytes bytes;
    bool lossy = false;
};
// nullopt for an unknown encoding.
std::optional<Latin1Data> flatten_to_latin1(std::string_view id, ByteSpan data);

// The data of a frame whose texts are in UTF-16BE or UTF-8 (encodings 2 and 3,
// which ID3v2.3 lacks) recoded to ISO-8859-1 when every character fits, else
// to UTF-16 with a byte order mark. Other data comes back as it is.
Bytes recode_for_v23(std::string_view id, ByteSpan data);

// Whether the description of a COMM or WXXX frame's data is empty; nullopt
// for an unknown encoding.
std::optional<bool> has_empty_description(std::string_view id, ByteSpan data);

}  // namespace engine
