// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A 64-bit hash of a file's bytes (XXH64, seed 0), taken in pieces of any size: the same bytes
// give the same value however they are split, so a save can hash what it writes as it writes it
// and a check can hash the file it reads. It runs at several GB/s. It tells changed bytes from a
// file that was only touched; it is no defence against a collision made on purpose.
class ContentHash
{
public:
    void Add(std::string_view bytes);
    std::uint64_t Value() const;

private:
    static constexpr std::size_t stripe = 32;

    std::uint64_t m_lanes[4] = {0x60EA27EEADC0B5D6, 0xC2B2AE3D27D4EB4F, 0, 0x61C8864E7A143579};
    std::uint64_t m_length = 0;
    unsigned char m_pending[stripe] = {};
    std::size_t m_pendingSize = 0;
};

// The hash of the regular file `path` (symbolic links followed); nothing when it cannot be read.
std::optional<std::uint64_t> HashOfFile(const std::string &path);
