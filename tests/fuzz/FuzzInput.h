#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/Unicode.h"

namespace twk::fuzz {

// Cuts a fuzzer's input into pieces: texts end at a zero byte (or the input's end) and
// are read as UTF-8, so that seeds written as plain files work as they are.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return rest_.empty(); }

    uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        auto byte = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }

    std::string_view Bytes() {
        size_t end = rest_.find('\0');
        std::string_view piece = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return piece;
    }

    std::wstring Text() { return Utf8ToWide(Bytes()); }

    // Everything that is left.
    std::string_view Rest() {
        std::string_view piece = rest_;
        rest_ = {};
        return piece;
    }

private:
    std::string_view rest_;
};

// Code pages the program can meet, and two it does not know.
inline constexpr uint32_t kCodePages[] = {65001, 1251, 1252,  1250, 20866, 866,  28591, 28605, 932,
                                          50220, 936,  54936, 950,  1200,  1201, 0,     12345};

inline uint32_t PickCodePage(uint8_t byte) {
    return kCodePages[byte % (sizeof(kCodePages) / sizeof(kCodePages[0]))];
}

}  // namespace twk::fuzz
