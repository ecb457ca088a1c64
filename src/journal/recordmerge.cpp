// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/recordmerge.h"

#include <algorithm>
#include <array>
#include <bit>
#include <compare>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace {

using RecordId = std::uint32_t;
using Counts = std::vector<std::uint32_t>; // copies of each record in one list
using Texts = std::array<std::string_view, 3>;

template <size_t N> struct TextsHash
{
    size_t operator()(const std::array<std::string_view, N> &texts) const noexcept
    {
        size_t seed = 0;
        for (const std::string_view text : texts)
            seed ^= std::hash<std::string_view>()(text) + 0x9e3779b97f4a7c15U + (seed << 6) +
                    (seed >> 2);
        return seed;
    }
};

// Numbers the distinct records of the lists it is given, from 0 in the order first seen. The
// records stay where their lists hold them. Open addressing over the numbers, with each
// record's hash kept, so that a lookup touches the texts of an equal record only.
class RecordTable
{
public:
    explicit RecordTable(size_t expected)
    {
        m_records.reserve(expected);
        m_hashes.reserve(expected);
        Rehash(std::bit_ceil(2 * expected + 2));
    }

    // The number of each row's record, top row first.
    std::vector<RecordId> Number(const RowStore &rows)
    {
        std::vector<RecordId> ids(rows.Count());
        for (size_t row = 0; row < rows.Count(); ++row)
            ids[row] = Find(rows.At(row));
        return ids;
    }

    // The same for rows that mostly keep the order of `guide`, whose records were numbered
    // before as `guideIds`: a row equal to the one below the guide's row matched last takes its
    // number without a lookup, so that long runs of rows in the same order cost a comparison.
    std::vector<RecordId> Number(const RowStore &rows, const RowStore &guide,
                                 const std::vector<RecordId> &guideIds)
    {
        std::vector<std::uint32_t> guideRowOf(Count(), none);
        for (size_t row = guide.Count(); row-- > 0;)
            guideRowOf[guideIds[row]] = std::uint32_t(row);
        std::vector<RecordId> ids(rows.Count());
        size_t next = 0;
        for (size_t row = 0; row < rows.Count(); ++row) {
            const RowView texts = rows.At(row);
            if (next < guide.Count() && guide.At(next).texts == texts.texts) {
                ids[row] = guideIds[next++];
                continue;
            }
            ids[row] = Find(texts);
            if (ids[row] < guideRowOf.size() && guideRowOf[ids[row]] != none)
                next = guideRowOf[ids[row]] + 1;
        }
        return ids;
    }

    size_t Count() const { return m_records.size(); }
    const RowView &Record(RecordId id) const { return m_records[id]; }

    Counts CountCopies(const std::vector<RecordId> &ids) const
    {
        Counts counts(Count());
        for (const RecordId id : ids)
            ++counts[id];
        return counts;
    }

private:
    static constexpr RecordId none = ~RecordId(0);

    RecordId Find(const RowView &texts)
    {
        const size_t hash = TextsHash<3>()(texts.texts);
        size_t slot = hash & (m_slots.size() - 1);
        for (; m_slots[slot] != none; slot = (slot + 1) & (m_slots.size() - 1)) {
            const RecordId id = m_slots[slot];
            if (m_hashes[id] == hash && m_records[id].texts == texts.texts)
                return id;
        }
        const auto id = RecordId(m_records.size());
        m_slots[slot] = id;
        m_records.push_back(texts);
        m_hashes.push_back(hash);
        if (2 * m_records.size() > m_slots.size())
            Rehash(2 * m_slots.size());
        return id;
    }

    void Rehash(size_t slots)
    {
        m_slots.assign(slots, none);
        for (RecordId id = 0; id < m_records.size(); ++id) {
            size_t slot = m_hashes[id] & (slots - 1);
            while (m_slots[slot] != none)
                slot = (slot + 1) & (slots - 1);
            m_slots[slot] = id;
        }
    }

    std::vector<RecordId> m_slots; // a power of two of them, at most half in use
    std::vector<RowView> m_records;
    std::vector<size_t> m_hashes; // per record
};

// One copy of a record, at a row of its list.
struct Copy
{
    RecordId record = 0;
    std::uint32_t row = 0;
};

// The topmost copies of each record that `list` holds beyond `other`'s count, in list order.
std::vector<Copy> CopiesBeyond(const std::vector<RecordId> &list, const Counts &listCounts,
                               const Counts &otherCounts)
{
    Counts left(listCounts.size());
    for (size_t id = 0; id < left.size(); ++id)
        left[id] = listCounts[id] > otherCounts[id] ? listCounts[id] - otherCounts[id] : 0;
    std::vector<Copy> copies;
    for (size_t row = 0; row < list.size(); ++row) {
        if (left[list[row]] > 0) {
            --left[list[row]];
            copies.push_back({list[row], std::uint32_t(row)});
        }
    }
    return copies;
}

// What one side changed against the base, with its edits paired (see the header).
struct SideChanges
{
    std::vector<Copy> removed;          // base copies, rows of the base
    std::vector<Copy> added;            // the side's copies, rows of the side
    std::vector<std::ptrdiff_t> editOf; // per added copy: the removed copy it edits, or -1
    std::vector<bool> removedPaired;    // per removed copy

    SideChanges(const std::vector<RecordId> &base, const Counts &baseCounts,
                const std::vector<RecordId> &side, const Counts &sideCounts,
                const RecordTable &table)
        : removed(CopiesBeyond(base, baseCounts, sideCounts)),
          added(CopiesBeyond(side, sideCounts, baseCounts)), editOf(added.size(), -1),
          removedPaired(removed.size())
    {
        PairEdits({0, 1}, table);
        PairEdits({0, 2}, table);
        PairEdits({1, 2}, table);
    }

private:
    // Pairs the copies still unpaired whose texts in `columns` are the same, in order.
    void PairEdits(std::array<size_t, 2> columns, const RecordTable &table)
    {
        using Key = std::array<std::string_view, 2>;
        const auto keyOf = [&](RecordId id) {
            const RowView &texts = table.Record(id);
            return Key{texts[columns[0]], texts[columns[1]]};
        };
        // Each key's removed copies, last first, so that the first is taken from the back.
        std::unordered_map<Key, std::vector<size_t>, TextsHash<2>> waiting;
        for (size_t index = removed.size(); index-- > 0;) {
            if (!removedPaired[index])
                waiting[keyOf(removed[index].record)].push_back(index);
        }
        for (size_t index = 0; index < added.size() && !waiting.empty(); ++index) {
            if (editOf[index] >= 0)
                continue;
            const auto found = waiting.find(keyOf(added[index].record));
            if (found == waiting.end() || found->second.empty())
                continue;
            editOf[index] = std::ptrdiff_t(found->second.back());
            removedPaired[found->second.back()] = true;
            found->second.pop_back();
        }
    }
};

// The records of the base, then of each side, which mostly keeps the base's order.
std::array<std::vector<RecordId>, 3> NumberAll(RecordTable &table, const RowStore &base,
                                               const RowStore &ours, const RowStore &theirs)
{
    std::vector<RecordId> baseIds = table.Number(base);
    std::vector<RecordId> oursIds = table.Number(ours, base, baseIds);
    std::vector<RecordId> theirsIds = table.Number(theirs, base, baseIds);
    return {std::move(baseIds), std::move(oursIds), std::move(theirsIds)};
}

class ThreeWayMerge
{
public:
    ThreeWayMerge(const RowStore &base, const RowStore &ours, const RowStore &theirs)
        : m_ours(ours),
          m_table(ours.Count() + theirs.Count()), m_ids{NumberAll(m_table, base, ours, theirs)},
          m_counts{m_table.CountCopies(m_ids[Base]), m_table.CountCopies(m_ids[Ours]),
                   m_table.CountCopies(m_ids[Theirs])},
          m_oursChanges(m_ids[Base], m_counts[Base], m_ids[Ours], m_counts[Ours], m_table),
          m_theirsChanges(m_ids[Base], m_counts[Base], m_ids[Theirs], m_counts[Theirs], m_table),
          m_placed(m_ids[Ours]), m_removedRow(m_placed.size())
    {
    }

    MergeResult Run()
    {
        FindCountChanges();
        IndexOursRows();
        NoteOursEdits();
        PlaceTheirsAdditions();
        RemoveLeftovers();
        CountRemovalsOfOursEdits();
        return {Build(), m_summary};
    }

private:
    enum Side { Base, Ours, Theirs };

    // How many copies of `id` the merge holds (see the header).
    std::uint32_t MergedCount(RecordId id) const
    {
        const std::uint32_t base = m_counts[Base][id];
        const std::uint32_t ours = m_counts[Ours][id];
        const std::uint32_t theirs = m_counts[Theirs][id];
        if (theirs == base)
            return ours;
        if (ours > base && theirs > base)
            return std::max(ours, theirs);
        if (ours < base && theirs < base)
            return std::min(ours, theirs);
        return ours + theirs - base;
    }

    void FindCountChanges()
    {
        m_toInsert.resize(m_table.Count());
        m_toRemove.resize(m_table.Count());
        for (RecordId id = 0; id < m_table.Count(); ++id) {
            const std::uint32_t merged = MergedCount(id);
            const std::uint32_t ours = m_counts[Ours][id];
            m_toInsert[id] = merged > ours ? merged - ours : 0;
            m_toRemove[id] = ours > merged ? ours - merged : 0;
        }
    }

    // Ours' rows grouped by record, each group top row first.
    void IndexOursRows()
    {
        const Counts &counts = m_counts[Ours];
        m_firstRowOf.assign(counts.size() + 1, 0);
        for (size_t id = 0; id < counts.size(); ++id)
            m_firstRowOf[id + 1] = m_firstRowOf[id] + counts[id];
        m_untaken = counts;
        m_rowsByRecord.resize(m_ids[Ours].size());
        Counts filled(counts.size());
        for (size_t row = 0; row < m_ids[Ours].size(); ++row) {
            const RecordId id = m_ids[Ours][row];
            m_rowsByRecord[m_firstRowOf[id] + filled[id]++] = std::uint32_t(row);
        }
    }

    // The bottommost row of ours holding `id` that no change or removal has taken yet.
    std::uint32_t TakeBottomRow(RecordId id)
    {
        return m_rowsByRecord[m_firstRowOf[id] + --m_untaken[id]];
    }

    void NoteOursEdits()
    {
        const SideChanges &ours = m_oursChanges;
        for (size_t index = ours.added.size(); index-- > 0;) {
            if (ours.editOf[index] >= 0)
                m_oursEdits[ours.removed[size_t(ours.editOf[index])].record].push_back(
                    ours.added[index].row);
        }
    }

    void PlaceTheirsAdditions()
    {
        const SideChanges &theirs = m_theirsChanges;
        for (size_t index = 0; index < theirs.added.size(); ++index) {
            const RecordId record = theirs.added[index].record;
            if (m_toInsert[record] == 0)
                continue;
            --m_toInsert[record];
            if (theirs.editOf[index] < 0) {
                m_top.push_back(record);
                ++m_summary.added;
                continue;
            }
            const RecordId original = theirs.removed[size_t(theirs.editOf[index])].record;
            if (m_toRemove[original] > 0) {
                --m_toRemove[original];
                m_placed[TakeBottomRow(original)] = record;
                ++m_summary.changed;
                continue;
            }
            // Ours changed the original too: edited it (theirs' version goes below ours') or
            // removed it.
            ++m_summary.changedOnBoth;
            const auto oursEdit = m_oursEdits.find(original);
            if (oursEdit != m_oursEdits.end() && !oursEdit->second.empty()) {
                m_below.emplace_back(oursEdit->second.back(), record);
                oursEdit->second.pop_back();
            } else {
                m_top.push_back(record);
            }
        }
    }

    void RemoveLeftovers()
    {
        for (RecordId id = 0; id < m_table.Count(); ++id) {
            for (; m_toRemove[id] > 0; --m_toRemove[id]) {
                m_removedRow[TakeBottomRow(id)] = true;
                ++m_summary.removed;
            }
        }
    }

    // An edit of ours whose original theirs removed without an edit of its own: both kept, as
    // the edit stays.
    void CountRemovalsOfOursEdits()
    {
        const SideChanges &theirs = m_theirsChanges;
        std::unordered_map<RecordId, std::uint32_t> plainRemovals;
        for (size_t index = 0; index < theirs.removed.size(); ++index) {
            if (!theirs.removedPaired[index])
                ++plainRemovals[theirs.removed[index].record];
        }
        for (const auto &[original, edits] : m_oursEdits) {
            const auto removals = plainRemovals.find(original);
            if (removals != plainRemovals.end())
                m_summary.changedOnBoth += std::min<size_t>(removals->second, edits.size());
        }
    }

    // Ours' rows, changed where theirs edited them, with the added rows appended; then all put
    // in order and the removed rows cut off the bottom. Only the rows that are new are copied:
    // the others stay in the blocks ours shares.
    RowStore Build()
    {
        RowStore merged = m_ours;
        for (size_t row = 0; row < m_placed.size(); ++row) {
            if (m_placed[row] != m_ids[Ours][row])
                merged.Set(row, m_table.Record(m_placed[row]));
        }
        std::vector<int> order;
        order.reserve(m_placed.size() + m_top.size() + m_below.size());
        const auto append = [&](RecordId id) {
            order.push_back(int(merged.Count()));
            merged.Insert(merged.Count(), m_table.Record(id));
        };
        std::ranges::for_each(m_top, append);
        std::ranges::stable_sort(m_below, {}, &std::pair<std::uint32_t, RecordId>::first);
        auto below = m_below.begin();
        std::vector<int> removed;
        for (std::uint32_t row = 0; row < m_placed.size(); ++row) {
            (m_removedRow[row] ? removed : order).push_back(int(row));
            for (; below != m_below.end() && below->first == row; ++below)
                append(below->second);
        }
        order.insert(order.end(), removed.begin(), removed.end());
        merged.Reorder(order);
        for (size_t left = removed.size(); left > 0; --left)
            merged.Remove(merged.Count() - 1);
        return merged;
    }

    const RowStore &m_ours;
    RecordTable m_table;
    std::array<std::vector<RecordId>, 3> m_ids;
    std::array<Counts, 3> m_counts;
    SideChanges m_oursChanges;
    SideChanges m_theirsChanges;
    Counts m_toInsert; // per record: copies still to add
    Counts m_toRemove; // per record: copies of ours still to remove

    Counts m_firstRowOf; // per record: where its rows start in m_rowsByRecord
    Counts m_rowsByRecord;
    Counts m_untaken; // per record: how many of its rows no change or removal took
    // Per original record: the rows of ours' edits of it not yet met by theirs, last first.
    std::unordered_map<RecordId, std::vector<std::uint32_t>> m_oursEdits;

    std::vector<RecordId> m_placed; // per row of ours: the record it holds after the merge
    std::vector<bool> m_removedRow;
    std::vector<RecordId> m_top;                             // in theirs' order
    std::vector<std::pair<std::uint32_t, RecordId>> m_below; // below a row of ours
    MergeSummary m_summary;
};

std::strong_ordering CompareRows(const RowStore &a, const RowStore &b)
{
    for (size_t row = 0; row < a.Count() && row < b.Count(); ++row) {
        if (const auto order = a.At(row).texts <=> b.At(row).texts; std::is_neq(order))
            return order;
    }
    return a.Count() <=> b.Count();
}

// The records `newer` holds beyond `older` (as multisets): whether there are any, and theirs
// holds every one of them.
bool AdditionsReached(const RowStore &newer, const RowStore &older, const RowStore &theirs)
{
    RecordTable table(newer.Count());
    const std::vector<RecordId> newerIds = table.Number(newer);
    const Counts olderCounts = table.CountCopies(table.Number(older, newer, newerIds));
    const Counts theirsCounts = table.CountCopies(table.Number(theirs, newer, newerIds));
    const Counts newerCounts = table.CountCopies(newerIds);
    bool any = false;
    for (size_t id = 0; id < newerCounts.size(); ++id) {
        if (newerCounts[id] <= olderCounts[id])
            continue;
        any = true;
        if (theirsCounts[id] < newerCounts[id] - olderCounts[id])
            return false;
    }
    return any;
}

bool SharesARecord(const RowStore &version, const RowStore &theirs)
{
    RecordTable table(version.Count());
    const std::vector<RecordId> versionIds = table.Number(version);
    const Counts theirsCounts = table.CountCopies(table.Number(theirs, version, versionIds));
    const Counts versionCounts = table.CountCopies(versionIds);
    for (size_t id = 0; id < versionCounts.size(); ++id) {
        if (versionCounts[id] > 0 && theirsCounts[id] > 0)
            return true;
    }
    return false;
}

} // namespace

Text MergeSummary::Describe() const
{
    const std::pair<size_t, const char *> parts[] = {
        {added, "to add"},
        {changed, "to change"},
        {removed, "to remove"},
        {changedOnBoth, "changed on both computers: both kept"},
    };
    Text text;
    for (const auto &[count, what] : parts) {
        if (count == 0)
            continue;
        const bool first = text.empty();
        text += (first ? "" : ", ") + std::to_string(count);
        text += first ? (count == 1 ? " entry " : " entries ") : " ";
        text += what;
    }
    return text.empty() ? "nothing to change" : text;
}

MergeSummary &MergeSummary::operator+=(const MergeSummary &other)
{
    added += other.added;
    changed += other.changed;
    removed += other.removed;
    changedOnBoth += other.changedOnBoth;
    return *this;
}

MergeResult MergeRecords(const RowStore &base, const RowStore &ours, const RowStore &theirs)
{
    return ThreeWayMerge(base, ours, theirs).Run();
}

MergeResult MergeCopies(const RowStore &ours, std::vector<CopyWithBase> copies)
{
    std::ranges::sort(copies, [](const CopyWithBase &a, const CopyWithBase &b) {
        const auto order = CompareRows(a.copy, b.copy);
        return std::is_neq(order) ? std::is_lt(order) : std::is_lt(CompareRows(a.base, b.base));
    });
    MergeResult result{ours, {}};
    for (const CopyWithBase &copy : copies) {
        MergeResult step = MergeRecords(copy.base, result.rows, copy.copy);
        result.rows = std::move(step.rows);
        result.summary += step.summary;
    }
    return result;
}

MergeBase FindMergeBase(const RowStore &theirs, size_t versionCount, const LoadVersion &load)
{
    // The first readable version from `index` on; `index` is left at it.
    const auto loadFrom = [&](size_t &index) -> std::optional<RowStore> {
        for (; index < versionCount; ++index) {
            if (std::optional<RowStore> version = load(index))
                return version;
        }
        return std::nullopt;
    };
    size_t index = 0;
    std::optional<RowStore> version = loadFrom(index);
    while (version) {
        size_t olderIndex = index + 1;
        std::optional<RowStore> older = loadFrom(olderIndex);
        if (older ? AdditionsReached(*version, *older, theirs) : SharesARecord(*version, theirs))
            return {std::move(*version), index};
        version = std::move(older);
        index = olderIndex;
    }
    return {};
}
