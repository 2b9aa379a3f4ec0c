#include "platform/text.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence starting at text[i]; advances i. Overlong forms,
// surrogates and truncated sequences decode as U+FFFD, consuming one byte.
char32_t next_utf8(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (text.size() - i < length) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-16 unit or surrogate pair at text[i]; advances i.
char32_t next_utf16(std::u16string_view text, size_t& i) {
    const char16_t unit = text[i++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        const char16_t low = text[i++];
        return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
    }
    return kReplacement;
}

char to_latin1(char32_t c) { return c <= 0xFF ? static_cast<char>(c) : '?'; }

}  // namespace

std::string utf16_to_latin1(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += to_latin1(next_utf16(text, i));
    return out;
}

std::u16string latin1_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

std::string utf8_to_latin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += to_latin1(next_utf8(text, i));
    return out;
}

std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) append_utf8(out, static_cast<unsigned char>(c));
    return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = next_utf8(text, i);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) append_utf8(out, next_utf16(text, i));
    return out;
}

}  // namespace platform
