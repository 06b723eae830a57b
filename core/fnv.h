// FNV-1a over 64 bits: a fingerprint that tells changed bytes apart (a
// recording's copies of files, a plan's inputs, run names), not a
// protection against forged ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tralvik {

struct Fnv64Hash {
    uint64_t value = 0xcbf29ce484222325ull;
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) value = (value ^ c) * 0x100000001b3ull;
    }
    // Sixteen lower-case hex digits.
    std::string Hex() const {
        char buf[17];
        std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(value));
        return buf;
    }
};

} // namespace tralvik
