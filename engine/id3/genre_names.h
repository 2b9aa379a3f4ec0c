// The ID3v1 genre list: 149 names, numbers 0 to 148; 148 (a single blank)
// stands for no or unknown genre.
#pragma once

#include <cstddef>

namespace engine {

constexpr int kGenreCount = 149;
constexpr int kUnknownGenre = 148;
extern const char* const genre_names[kGenreCount];

// The name of genre `number`; the unknown genre's for a number outside 0..148.
const char* genre_name(int number);

}  // namespace engine
