#include "options/PlayList.h"

#include <QSet>

#include "options/ListFiles.h"

namespace zd {

PlayList::PlayList(QObject* parent) : QAbstractTableModel(parent) {}

int PlayList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int PlayList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant PlayList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || role != Qt::DisplayRole)
        return {};
    const PlayListEntry& entry = entries_[static_cast<size_t>(index.row())];
    return index.column() == NameColumn ? entry.name : entry.path;
}

QString PlayList::name(int row) const {
    return row >= 0 && row < count() ? entries_[static_cast<size_t>(row)].name : QString();
}

QString PlayList::path(int row) const {
    return row >= 0 && row < count() ? entries_[static_cast<size_t>(row)].path : QString();
}

void PlayList::setEntries(std::vector<PlayListEntry> entries) {
    ++restructuring_;
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
    --restructuring_;
    select(-1);
    setTopRow(0);
}

void PlayList::append(const QString& name, const QString& path) {
    ++restructuring_;
    beginInsertRows(QModelIndex(), count(), count());
    entries_.push_back({name, path});
    endInsertRows();
    --restructuring_;
}

bool PlayList::removeAt(int row) {
    if (row < 0 || row >= count())
        return false;
    ++restructuring_;
    beginRemoveRows(QModelIndex(), row, row);
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
    --restructuring_;
    if (row == selected_)
        select(-1);
    else if (row < selected_)
        select(selected_ - 1);
    if (top_ >= count())
        setTopRow(std::max(0, count() - 1));
    return true;
}

void PlayList::clear() {
    setEntries({});
}

bool PlayList::select(int row) {
    if (row < -1 || row >= count())
        return false;
    if (row != selected_) {
        selected_ = row;
        emit selectionChanged(row);
    }
    return true;
}

bool PlayList::removeSelected() {
    return removeAt(selected_);
}

bool PlayList::setTopRow(int row) {
    if (row < 0 || (row >= count() && row != 0))
        return false;
    if (row != top_) {
        top_ = row;
        emit topRowChanged(row);
    }
    return true;
}

int PlayList::removeDuplicates() {
    // One pass with the paths seen so far: a list of tens of thousands of entries is cleaned at
    // once, where comparing every pair took seconds.
    QSet<QString> seen;
    seen.reserve(count());
    std::vector<bool> copy(entries_.size(), false);
    int removed = 0;
    for (size_t row = 0; row < entries_.size(); ++row) {
        const QString& path = entries_[row].path;
        copy[row] = seen.contains(path);
        if (copy[row])
            ++removed;
        else
            seen.insert(path);
    }
    if (removed == 0)
        return 0;
    std::vector<PlayListEntry> kept;
    kept.reserve(entries_.size() - static_cast<size_t>(removed));
    int selected = -1;
    for (size_t row = 0; row < entries_.size(); ++row) {
        if (copy[row])
            continue;
        if (static_cast<int>(row) == selected_)
            selected = static_cast<int>(kept.size());
        kept.push_back(std::move(entries_[row]));
    }
    const int top = std::min(top_, std::max(0, static_cast<int>(kept.size()) - 1));
    ++restructuring_;
    beginResetModel();
    entries_ = std::move(kept);
    endResetModel();
    --restructuring_;
    select(selected);
    setTopRow(top);
    return removed;
}

void PlayList::removeEmptyEntries() {
    const int positions = count();
    for (int v = 0; v <= positions; ++v) {
        select(v);
        if (selectedRow() >= 0 && selectedName().isEmpty())
            removeSelected();
    }
}

PlayList::StoredCounts PlayList::load() {
    listfiles::StoredLists stored = listfiles::readListPair();
    std::vector<PlayListEntry> entries;
    entries.reserve(stored.entries.size());
    for (listfiles::StoredPair& pair : stored.entries)
        entries.push_back({std::move(pair.name), std::move(pair.path)});
    setEntries(std::move(entries));
    return {stored.namesCount, stored.pathsCount};
}

bool PlayList::save() {
    QStringList names;
    QStringList paths;
    names.reserve(count());
    paths.reserve(count());
    for (const PlayListEntry& entry : entries_) {
        names << entry.name;
        paths << entry.path;
    }
    const bool written = listfiles::writeListPair(names, paths);
    emit saved(count());
    return written;
}

}  // namespace zd
