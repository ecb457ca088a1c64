#include "ui/qt/byterowmodel.h"

#include "ui/qt/displaytext.h"

QString CellDisplay(std::string_view bytes)
{
    Text oneLine(bytes);
    ReplaceAll(oneLine, "\r\n", " ");
    QString shown = ToDisplay(oneLine);
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
    if (role == Qt::DisplayRole)
        return CellDisplay(m_rows.At(size_t(index.row()))[size_t(index.column())]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant ByteRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_headings.size()))
        return {};
    if (role == Qt::DisplayRole)
        return CellDisplay(m_headings[size_t(section)]);
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
    ForgetWidths();
    endInsertColumns();
}

void ByteRowModel::InsertLines(int index, RowStore added)
{
    if (added.Empty())
        return;
    const size_t count = added.Count();
    beginInsertRows({}, index, index + int(count) - 1);
    m_rows.Insert(size_t(index), std::move(added));
    m_widths.insert(m_widths.begin() + index, count, unknownWidths);
    endInsertRows();
}

void ByteRowModel::RemoveLine(int row)
{
    beginRemoveRows({}, row, row);
    m_rows.Remove(size_t(row));
    m_widths.erase(m_widths.begin() + row);
    endRemoveRows();
}

void ByteRowModel::SetText(int row, int column, std::string_view text)
{
    RowView texts = m_rows.At(size_t(row));
    if (texts[size_t(column)] == text)
        return;
    texts.texts[size_t(column)] = text;
    m_rows.Set(size_t(row), texts);
    m_widths[size_t(row)][size_t(column)] = unknownWidth;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ByteRowModel::SetAllTexts(const std::vector<Row> &texts)
{
    for (size_t row = 0; row < texts.size(); ++row) {
        const RowView old = m_rows.At(row);
        bool changed = false;
        for (size_t column = 0; column < 3; ++column) {
            if (old[column] != texts[row][column]) {
                m_widths[row][column] = unknownWidth;
                changed = true;
            }
        }
        if (changed)
            m_rows.Set(row, RowView{{texts[row][0], texts[row][1], texts[row][2]}});
    }
    if (m_rows.Count() > 0 && !m_headings.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
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
    std::vector<Widths> reordered;
    reordered.reserve(m_widths.size());
    for (const int old : order)
        reordered.push_back(m_widths[size_t(old)]);
    m_widths = std::move(reordered);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
