// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/contenthash.h"

#include "common/posixfile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4F;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9;
constexpr std::uint64_t prime4 = 0x85EBCA77C2B2AE63;
constexpr std::uint64_t prime5 = 0x27D4EB2F165667C5;

// Read as stored in memory: the published values on a little-endian machine, and an equally good
// hash on another, which is all a comparison within one machine needs.
template <typename Word> Word Load(const unsigned char *bytes)
{
    Word value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::uint64_t Round(std::uint64_t lane, std::uint64_t input)
{
    return std::rotl(lane + input * prime2, 31) * prime1;
}

std::uint64_t Merge(std::uint64_t hash, std::uint64_t lane)
{
    return (hash ^ Round(0, lane)) * prime1 + prime4;
}

// Takes `count` stripes of 32 bytes. The lanes are worked on in locals: stores to members could
// alias the bytes, which would keep them out of registers.
void AddStripes(std::uint64_t (&lanes)[4], const unsigned char *bytes, std::size_t count)
{
    std::uint64_t a = lanes[0];
    std::uint64_t b = lanes[1];
    std::uint64_t c = lanes[2];
    std::uint64_t d = lanes[3];
    for (; count > 0; --count, bytes += 32) {
        a = Round(a, Load<std::uint64_t>(bytes));
        b = Round(b, Load<std::uint64_t>(bytes + 8));
        c = Round(c, Load<std::uint64_t>(bytes + 16));
        d = Round(d, Load<std::uint64_t>(bytes + 24));
    }
    lanes[0] = a;
    lanes[1] = b;
    lanes[2] = c;
    lanes[3] = d;
}

} // namespace

void ContentHash::Add(std::string_view bytes)
{
    if (bytes.empty()) // which may have no bytes at all for memcpy
        return;
    const auto *next = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t left = bytes.size();
    m_length += left;
    if (m_pendingSize > 0) {
        const std::size_t taken = std::min(left, stripe - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, next, taken);
        m_pendingSize += taken;
        next += taken;
        left -= taken;
        if (m_pendingSize < stripe)
            return;
        AddStripes(m_lanes, m_pending, 1);
        m_pendingSize = 0;
    }
    AddStripes(m_lanes, next, left / stripe);
    next += left / stripe * stripe;
    left %= stripe;
    if (left > 0)
        std::memcpy(m_pending, next, left);
    m_pendingSize = left;
}

std::uint64_t ContentHash::Value() const
{
    std::uint64_t hash = prime5;
    if (m_length >= stripe) {
        hash = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) +
               std::rotl(m_lanes[3], 18);
        for (const std::uint64_t lane : m_lanes)
            hash = Merge(hash, lane);
    }
    hash += m_length;
    const unsigned char *next = m_pending;
    std::size_t left = m_pendingSize;
    for (; left >= 8; left -= 8, next += 8)
        hash = std::rotl(hash ^ Round(0, Load<std::uint64_t>(next)), 27) * prime1 + prime4;
    if (left >= 4) {
        hash = std::rotl(hash ^ (Load<std::uint32_t>(next) * prime1), 23) * prime2 + prime3;
        left -= 4;
        next += 4;
    }
    for (; left > 0; --left, ++next)
        hash = std::rotl(hash ^ (*next * prime5), 11) * prime1;
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    return hash ^ (hash >> 32);
}

std::optional<std::uint64_t> HashOfFile(const std::string &path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    ContentHash hash;
    const bool read = ReadAll(fd, [&hash](std::string_view bytes) {
        hash.Add(bytes);
        return true;
    });
    ::close(fd);
    return read ? std::optional(hash.Value()) : std::nullopt;
}
