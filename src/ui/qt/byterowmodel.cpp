// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/byterowmodel.h"

#include "common/textcodec.h"
#include "ui/qt/displaytext.h"

std::string_view ShownPart(std::string_view bytes)
{
    if (bytes.size() <= shownBytes)
        return bytes;
    // A UTF-8 sequence is at most four bytes long: its lead byte lies at most three back.
    size_t end = shownBytes;
    const auto continues = [&](size_t at) {
        return (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80;
    };
    while (end > shownBytes - 3 && continues(end))
        --end;
    return bytes.substr(0, end);
}

QString CellDisplay(std::string_view bytes, bool utf8)
{
    Text oneLine(ShownPart(bytes));
    ReplaceAll(oneLine, "\r\n", " ");
    QString shown = ToDisplay(oneLine, utf8);
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shown;
}

int ByteRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.Count());
}

int ByteRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headings.size());
}

QVariant ByteRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        const auto row = size_t(index.row());
        const auto column = size_t(index.column());
        const std::string_view text = m_rows.At(row)[column];
        return CellDisplay(text, IsUtf8(row, column, text));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant ByteRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_headings.size()))
        return {};
    if (role == Qt::DisplayRole) {
        const Text &heading = m_headings[size_t(section)];
        return CellDisplay(heading, IsValidUtf8(heading));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ByteRowModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ByteRowModel::InsertColumn(int column, const Text &heading)
{
    if (m_headings.size() >= std::tuple_size_v<Row>)
        return;
    column = std::clamp(column, 0, int(m_headings.size()));
    beginInsertColumns({}, column, column);
    m_headings.insert(m_headings.begin() + column, heading);
    for (size_t row = 0; row < m_rows.Count(); ++row) {
        RowView texts = m_rows.At(row);
        std::move_backward(texts.texts.begin() + column, texts.texts.end() - 1, texts.texts.end());
        texts.texts[size_t(column)] = {};
        m_rows.Set(row, texts);
    }
    std::fill(m_known.begin(), m_known.end(), Known());
    endInsertColumns();
}

void ByteRowModel::InsertRows(int index, RowStore added)
{
    if (added.Empty())
        return;
    const size_t count = added.Count();
    beginInsertRows({}, index, index + int(count) - 1);
    m_rows.Insert(size_t(index), std::move(added));
    m_known.insert(m_known.begin() + index, count, Known());
    endInsertRows();
}

void ByteRowModel::InsertRow(int index, const RowView &texts)
{
    beginInsertRows({}, index, index);
    m_rows.Insert(size_t(index), texts);
    m_known.insert(m_known.begin() + index, Known());
    endInsertRows();
}

void ByteRowModel::RemoveRow(int row)
{
    beginRemoveRows({}, row, row);
    m_rows.Remove(size_t(row));
    m_known.erase(m_known.begin() + row);
    endRemoveRows();
}

void ByteRowModel::SetRow(int row, const RowView &texts)
{
    RowView updated = m_rows.At(size_t(row));
    bool changed = false;
    for (size_t column = 0; column < m_headings.size(); ++column) {
        if (updated[column] != texts[column]) {
            updated.texts[column] = texts[column];
            Forget(size_t(row), column);
            changed = true;
        }
    }
    if (!changed)
        return;
    m_rows.Set(size_t(row), updated);
    if (columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::DisplayRole});
}

void ByteRowModel::Reorder(std::span<const int> order, const std::vector<int> &newIndex)
{
    // Only rows move: the heading keeps its sections and their widths.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after.push_back(index(newIndex[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    m_rows.Reorder(order);
    std::vector<Known> reordered;
    reordered.reserve(m_known.size());
    for (const int old : order)
        reordered.push_back(m_known[size_t(old)]);
    m_known = std::move(reordered);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ByteRowModel::ForgetWidths()
{
    for (Known &known : m_known)
        known.widths.fill(unknownWidth);
}

void ByteRowModel::Forget(size_t row, size_t column)
{
    Known &known = m_known[row];
    known.widths[column] = unknownWidth;
    known.encodings &= std::uint8_t(~(3u << (2 * column)));
}

bool ByteRowModel::IsUtf8(size_t row, size_t column, std::string_view text) const
{
    if (text.size() <= shownBytes)
        return IsValidUtf8(text); // no more work than showing it
    const auto known = std::uint8_t(1u << (2 * column));
    const auto utf8 = std::uint8_t(2u << (2 * column));
    std::uint8_t &encodings = m_known[row].encodings;
    if ((encodings & known) == 0)
        encodings |= IsValidUtf8(text) ? known | utf8 : known;
    return (encodings & utf8) != 0;
}
