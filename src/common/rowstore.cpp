// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/rowstore.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace {

constexpr size_t smallestBlock = size_t(4) << 10;
constexpr size_t largestBlock = size_t(1) << 20;
// Garbage below this is never worth a copy of the live rows.
constexpr size_t tolerableWaste = size_t(1) << 20;

// A length as 7 bits a byte, lowest first, the top bit set on all bytes but the last: one byte
// for a text shorter than 128 bytes.
size_t LengthSize(size_t length)
{
    size_t size = 1;
    for (; length >= 0x80; length >>= 7)
        ++size;
    return size;
}

char *PutLength(char *out, size_t length)
{
    for (; length >= 0x80; length >>= 7)
        *out++ = static_cast<char>(length | 0x80);
    *out++ = static_cast<char>(length);
    return out;
}

const char *GetLength(const char *in, size_t &length)
{
    length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        length |= size_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            return in;
    }
}

size_t HeaderSize(const RowView &texts)
{
    return LengthSize(texts[0].size()) + LengthSize(texts[1].size()) + LengthSize(texts[2].size());
}

// Writes the row's stored form at `out`; each text is copied with memmove, in column order.
void PutRow(char *out, const RowView &texts)
{
    for (const std::string_view text : texts.texts)
        out = PutLength(out, text.size());
    for (const std::string_view text : texts.texts) {
        if (!text.empty())
            std::memmove(out, text.data(), text.size());
        out += text.size();
    }
}

RowView GetRow(const char *stored)
{
    std::array<size_t, 3> lengths{};
    for (size_t &length : lengths)
        stored = GetLength(stored, length);
    RowView view;
    for (size_t column = 0; column < 3; ++column) {
        view.texts[column] = std::string_view(stored, lengths[column]);
        stored += lengths[column];
    }
    return view;
}

} // namespace

RowStore::RowStore(const RowStore &other)
    : m_blocks(other.m_blocks), m_index(other.m_index), m_liveBytes(other.m_liveBytes),
      m_heldBytes(other.m_heldBytes)
{
}

RowStore &RowStore::operator=(const RowStore &other)
{
    if (this != &other)
        *this = RowStore(other);
    return *this;
}

RowStore::RowStore(RowStore &&other) noexcept
    : m_blocks(std::move(other.m_blocks)), m_index(std::move(other.m_index)),
      m_open(std::exchange(other.m_open, -1)), m_openUsed(std::exchange(other.m_openUsed, 0)),
      m_liveBytes(std::exchange(other.m_liveBytes, 0)),
      m_heldBytes(std::exchange(other.m_heldBytes, 0))
{
    other.m_blocks.clear();
    other.m_index.clear();
}

RowStore &RowStore::operator=(RowStore &&other) noexcept
{
    if (this != &other) {
        m_blocks = std::move(other.m_blocks);
        m_index = std::move(other.m_index);
        m_open = std::exchange(other.m_open, -1);
        m_openUsed = std::exchange(other.m_openUsed, 0);
        m_liveBytes = std::exchange(other.m_liveBytes, 0);
        m_heldBytes = std::exchange(other.m_heldBytes, 0);
        other.m_blocks.clear();
        other.m_index.clear();
    }
    return *this;
}

RowStore RowStore::FromRows(std::span<const Row> rows)
{
    // One block of just the size the rows need.
    RowStore store;
    size_t size = 0;
    for (const Row &row : rows)
        size += StoredSize(RowView{{row[0], row[1], row[2]}});
    if (size == 0)
        return store;
    auto block = std::make_shared<Block>();
    block->bytes.resize(size);
    store.m_blocks.push_back(std::move(block));
    store.m_open = 0;
    store.m_index.reserve(rows.size());
    for (const Row &row : rows)
        store.m_index.push_back(store.Append(RowView{{row[0], row[1], row[2]}}));
    return store;
}

size_t RowStore::StoredSize(const RowView &texts)
{
    return HeaderSize(texts) + texts[0].size() + texts[1].size() + texts[2].size();
}

const char *RowStore::Address(Location location) const
{
    constexpr Location offsetMask = (Location(1) << offsetBits) - 1;
    return m_blocks[size_t(location >> offsetBits)]->bytes.data() + (location & offsetMask);
}

RowView RowStore::At(size_t row) const
{
    // Rows are mostly read one after the other, down or up the list, and a row's texts lie
    // far from its neighbours' (a loaded journal has the bottom row first): both neighbours
    // are asked for from memory now, so that they are there by the time they are read.
    if (row + 1 < m_index.size())
        __builtin_prefetch(Address(m_index[row + 1]));
    if (row > 0)
        __builtin_prefetch(Address(m_index[row - 1]));
    return GetRow(Address(m_index[row]));
}

RowStore::Location RowStore::Append(const RowView &texts)
{
    const size_t size = StoredSize(texts);
    if (m_open < 0 || m_blocks[size_t(m_open)]->bytes.size() - m_openUsed < size) {
        // Blocks grow with the store, so that a long session does not pile up many small ones.
        const size_t capacity =
            std::max(size, std::clamp(m_heldBytes / 8, smallestBlock, largestBlock));
        auto block = std::make_shared<Block>();
        block->bytes.resize(capacity);
        m_blocks.push_back(std::move(block));
        m_open = std::ptrdiff_t(m_blocks.size() - 1);
        m_openUsed = 0;
    }
    const Location location = Location(m_open) << offsetBits | m_openUsed;
    // The texts may lie in this store: they are read before anything is released.
    PutRow(m_blocks[size_t(m_open)]->bytes.data() + m_openUsed, texts);
    m_openUsed += size;
    m_liveBytes += size;
    m_heldBytes += size;
    return location;
}

void RowStore::Release(Location location)
{
    m_liveBytes -= StoredSize(GetRow(Address(location)));
}

void RowStore::CompactIfWasteful()
{
    const size_t waste = m_heldBytes - m_liveBytes;
    if (waste <= tolerableWaste || waste <= m_liveBytes)
        return;
    // The live rows in index order into one new block; the old blocks go once no copy holds
    // them.
    auto block = std::make_shared<Block>();
    block->bytes.resize(m_liveBytes + smallestBlock);
    size_t used = 0;
    for (Location &location : m_index) {
        const RowView texts = GetRow(Address(location));
        PutRow(block->bytes.data() + used, texts);
        location = used;
        used += StoredSize(texts);
    }
    m_blocks.clear();
    m_blocks.push_back(std::move(block));
    m_open = 0;
    m_openUsed = used;
    m_heldBytes = used;
}

void RowStore::Insert(size_t index, const RowView &texts)
{
    const Location location = Append(texts);
    m_index.insert(m_index.begin() + std::ptrdiff_t(index), location);
}

void RowStore::Insert(size_t index, RowStore &&rows)
{
    if (rows.Empty())
        return;
    if (Empty()) {
        *this = std::move(rows);
        return;
    }
    // A few rows are copied into this store's own blocks; many bring their blocks along.
    if (rows.m_heldBytes < smallestBlock * 16) {
        std::vector<Location> added;
        added.reserve(rows.Count());
        for (size_t row = 0; row < rows.Count(); ++row)
            added.push_back(Append(rows.At(row)));
        m_index.insert(m_index.begin() + std::ptrdiff_t(index), added.begin(), added.end());
        rows = RowStore();
        return;
    }
    const Location firstBlock = Location(m_blocks.size()) << offsetBits;
    for (Location &location : rows.m_index)
        location += firstBlock;
    m_blocks.insert(m_blocks.end(), rows.m_blocks.begin(), rows.m_blocks.end());
    m_index.insert(m_index.begin() + std::ptrdiff_t(index), rows.m_index.begin(),
                   rows.m_index.end());
    m_liveBytes += rows.m_liveBytes;
    m_heldBytes += rows.m_heldBytes;
    rows = RowStore();
}

void RowStore::Set(size_t row, const RowView &texts)
{
    const Location location = Append(texts);
    Release(m_index[row]);
    m_index[row] = location;
    CompactIfWasteful();
}

void RowStore::Remove(size_t row)
{
    Release(m_index[row]);
    m_index.erase(m_index.begin() + std::ptrdiff_t(row));
    CompactIfWasteful();
}

void RowStore::Reorder(std::span<const int> order)
{
    std::vector<Location> reordered;
    reordered.reserve(order.size());
    for (const int old : order)
        reordered.push_back(m_index[size_t(old)]);
    m_index = std::move(reordered);
}

RowStore::Filler::Filler(Text &&text) : m_text(std::move(text))
{
    // Block 0 is reserved for the text; rows that do not fit in it go to blocks from 1 on.
    m_store.m_blocks.push_back(std::make_shared<Block>());
}

RowView RowStore::Filler::Append(const RowView &texts, size_t keepFrom)
{
    const size_t size = StoredSize(texts);
    char *const begin = m_text.data();
    const char *const end = begin + m_text.size();
    const std::less<> before;
    // In place when the row fits before the bytes still needed and no text it copies from the
    // unwritten part of the text would be overwritten before it has been copied: each text must
    // go to where it is or further to the front.
    bool inPlace = m_fill + size <= keepFrom;
    const char *target = begin + m_fill + HeaderSize(texts);
    for (const std::string_view text : texts.texts) {
        const bool unwritten =
            !text.empty() && !before(text.data(), begin + m_fill) && before(text.data(), end);
        if (unwritten && before(text.data(), target))
            inPlace = false;
        target += text.size();
    }
    if (!inPlace) {
        const Location location = m_store.Append(texts);
        m_rows.push_back(location);
        return GetRow(m_store.Address(location));
    }
    PutRow(begin + m_fill, texts);
    m_rows.push_back(Location(m_fill));
    const RowView stored = GetRow(begin + m_fill);
    m_fill += size;
    return stored;
}

RowStore RowStore::Filler::Finish(bool reversed)
{
    // A text that gave rows much smaller than itself (short records, many keys) is copied to
    // its rows' size rather than kept whole.
    Text &kept = m_store.m_blocks.front()->bytes;
    if (m_fill < m_text.size() - m_text.size() / 4) {
        kept.assign(m_text, 0, m_fill);
        m_text = Text();
    } else {
        m_text.resize(m_fill);
        kept = std::move(m_text);
    }
    m_store.m_liveBytes += m_fill;
    m_store.m_heldBytes += m_fill;
    if (reversed)
        std::reverse(m_rows.begin(), m_rows.end());
    m_store.m_index = std::move(m_rows);
    return std::move(m_store);
}
