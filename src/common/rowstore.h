// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/text.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

// One line of the entry list: column 0 Date, column 1 Title, column 2 Entry.
using Row = std::array<Text, 3>;

// The three texts of a row where they are stored, without copying them.
struct RowView
{
    std::array<std::string_view, 3> texts;

    std::string_view operator[](size_t column) const { return texts[column]; }
    Row ToRow() const { return Row{Text(texts[0]), Text(texts[1]), Text(texts[2])}; }
};

// The rows of the entry list, each addressed by its index, 0 at the top, held compactly: the
// texts of all rows lie in a few large blocks of bytes, and each row is one 64-bit reference
// to its texts (a block number and an offset) in an index. A row's three texts are stored
// together, each preceded by its length, so that loading a journal puts no text in a heap
// allocation of its own: the journal's bytes are rewritten in place into the first block.
//
// Blocks only ever grow at their end; bytes once written are never changed or moved. New and
// changed texts are appended to the open block, and what they replace becomes garbage, which
// is squeezed out by copying the live rows into a new block once it outweighs them. Inserting,
// removing and reordering rows move 8 bytes a row in the index.
//
// Copying a store is its snapshot, for the background save: the copy shares the blocks and
// copies only the index, and since nothing in a block is ever overwritten, the copy may be read
// on another thread while this store goes on changing: the store writes only past the bytes the
// copy refers to, and a block stays alive as long as either refers to it. The copy never writes
// into the open block it shares; should it be changed itself, it opens a block of its own.
class RowStore
{
public:
    RowStore() = default;
    RowStore(const RowStore &other);
    RowStore &operator=(const RowStore &other);
    RowStore(RowStore &&other) noexcept;
    RowStore &operator=(RowStore &&other) noexcept;

    static RowStore FromRows(std::span<const Row> rows);

    size_t Count() const { return m_index.size(); }
    bool Empty() const { return m_index.empty(); }
    // Valid until the store changes. `row` must be below Count().
    RowView At(size_t row) const;

    // `index` at most Count(); `texts` may lie in this store.
    void Insert(size_t index, const RowView &texts);
    // Moves all rows of `rows` in at `index`, in their order.
    void Insert(size_t index, RowStore &&rows);
    void Set(size_t row, const RowView &texts);
    void Remove(size_t row);
    // Row i then holds what row order[i] held; `order` must be a permutation of the rows.
    void Reorder(std::span<const int> order);

    // The bytes of text the store holds for its rows, and all it holds including garbage.
    size_t LiveBytes() const { return m_liveBytes; }
    size_t HeldBytes() const { return m_heldBytes; }

    class Filler;

private:
    struct Block
    {
        Text bytes; // its size is the block's capacity
    };
    using Location = std::uint64_t; // block number << offsetBits | offset

    static constexpr int offsetBits = 40;

    static size_t StoredSize(const RowView &texts);
    const char *Address(Location location) const;
    Location Append(const RowView &texts);
    void Release(Location location);
    void CompactIfWasteful();

    // Shared with copies; only the store whose open block it is writes to a block.
    std::vector<std::shared_ptr<Block>> m_blocks;
    std::vector<Location> m_index;
    // The block new rows are appended to (-1: none yet) and how much of it is written.
    std::ptrdiff_t m_open = -1;
    size_t m_openUsed = 0;
    size_t m_liveBytes = 0;
    size_t m_heldBytes = 0; // written bytes of all blocks, garbage included
};

// Builds a store from a text it takes over, rewriting the text in place: rows are appended one
// by one, and each row's stored form goes into the text's own bytes, at the front, wherever it
// fits before the bytes the caller still needs; otherwise into a block of its own. Rows are
// counted from the first appended; Finish can reverse them.
class RowStore::Filler
{
public:
    explicit Filler(Text &&text);

    // The text being rewritten. The caller may change the bytes it still needs (from the
    // `keepFrom` it gives Append on): no stored row lies there.
    char *Data() { return m_text.data(); }
    size_t Size() const { return m_text.size(); }

    // Appends a row whose texts may lie anywhere in the text (or outside it). `keepFrom` is the
    // offset from which the caller still needs the text's bytes; the row's texts themselves are
    // copied first. Returns the row's texts where they are now stored, which stay valid.
    RowView Append(const RowView &texts, size_t keepFrom);

    // The store of the appended rows, last appended first when `reversed`.
    RowStore Finish(bool reversed);

private:
    Text m_text;
    size_t m_fill = 0;
    RowStore m_store; // rows that did not fit in the text, in blocks of their own
    std::vector<Location> m_rows;
};
