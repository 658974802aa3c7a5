#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "app/MovieList.h"

namespace zd {

// One entry of the play list: the name shown (the file-name part of the path, as an opened
// movie is named) and the full path or address.
struct PlayListEntry {
    QString name;
    QString path;
    bool operator==(const PlayListEntry&) const = default;
};

// The play list: {name, path} pairs, the selected row and the top row. The options window shows
// it through two views, the names (column 0) and the paths (column 1), which follow its
// selection and top row. Every change works on whole pairs, so a name is never paired with
// another entry's path. Its files are List.Tov (names) and List2.Tov (paths).
class PlayList : public QAbstractTableModel, public MovieList {
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, PathColumn = 1 };

    explicit PlayList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(entries_.size()); }
    const std::vector<PlayListEntry>& entries() const { return entries_; }
    // "" outside the list.
    QString name(int row) const;
    QString path(int row) const;
    // Replaces every entry; nothing selected, the top row 0.
    void setEntries(std::vector<PlayListEntry> entries);

    void append(const QString& name, const QString& path) override;
    // False (and nothing changes) for a row outside the list. Removing the selected entry leaves
    // nothing selected; the selection stays on its entry when another one goes.
    bool removeAt(int row);
    void clear();

    // -1 when nothing is selected.
    int selectedRow() const { return selected_; }
    // -1 selects nothing; a row outside the list is refused (false) and changes nothing.
    bool select(int row);
    QString selectedName() const { return name(selected_); }
    QString selectedPath() const { return path(selected_); }
    // RemoveSelectedEntry: false when nothing is selected.
    bool removeSelected();

    // True while rows come or go: a view's own moves of its current row in the meantime are not
    // the user's choice.
    bool restructuring() const { return restructuring_ > 0; }

    // The first entry shown at the top of the views.
    int topRow() const { return top_; }
    bool setTopRow(int row);

    // Every later entry whose path equals (exactly, letter case counts) an earlier one goes,
    // with its name. Returns how many went.
    int removeDuplicates();
    // The empty-entry pass: each position from the first to one past the last, taken once at
    // the start, is selected in turn, and a selected entry without a name goes. The pass goes on
    // with the next position after a removal, so of two empty entries in a row the second stays
    // for the next pass; a position past the end is not selected.
    void removeEmptyEntries();

    // The stored counts as read (the text of each file's "Items" key, the key's name when it is
    // missing).
    struct StoredCounts {
        QString names;
        QString paths;
    };
    // Replaces the entries with those of the two files.
    StoredCounts load();
    // SaveLists. Emits saved() with the number of entries written.
    bool save() override;

  signals:
    void selectionChanged(int row);
    void topRowChanged(int row);
    void saved(int count);

  private:
    std::vector<PlayListEntry> entries_;
    int selected_ = -1;
    int top_ = 0;
    int restructuring_ = 0;
};

}  // namespace zd
