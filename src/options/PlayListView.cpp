#include "options/PlayListView.h"

#include <QScrollBar>

#include "controls/MouseEventSource.h"
#include "options/PlayList.h"

namespace zd {

PlayListView::PlayListView(PlayList& list, int column, bool leadsScrolling, QWidget* parent)
    : QListView(parent), list_(list), column_(column), events_(new MouseEventSource(viewport())) {
    setModel(&list);
    setModelColumn(column);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height: a list of tens of thousands of entries lays out at once.
    setUniformItemSizes(true);
    connect(&list, &PlayList::selectionChanged, this, &PlayListView::showSelection);
    // After rows came or went the view shows the list's selection, not one of its own.
    connect(&list, &QAbstractItemModel::modelReset, this, [this] {
        showSelection();
        showTopRow();
    });
    connect(&list, &QAbstractItemModel::rowsRemoved, this, &PlayListView::showSelection);
    connect(&list, &QAbstractItemModel::rowsInserted, this, &PlayListView::showSelection);
    connect(&list, &PlayList::topRowChanged, this, &PlayListView::showTopRow);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!following_ && !list_.restructuring())
                    list_.select(current.isValid() ? current.row() : -1);
            });
    if (leadsScrolling) {
        connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
            if (!following_)
                list_.setTopRow(topIndex());
        });
    }
}

void PlayListView::showSelection() {
    following_ = true;
    const int row = list_.selectedRow();
    if (row < 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex index = list_.index(row, column_);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    following_ = false;
}

void PlayListView::showTopRow() {
    following_ = true;
    const int row = list_.topRow();
    if (row < list_.count())
        scrollTo(list_.index(row, column_), QAbstractItemView::PositionAtTop);
    following_ = false;
}

int PlayListView::listCount() const {
    return list_.count();
}

QString PlayListView::list(int index) const {
    return column_ == PlayList::NameColumn ? list_.name(index) : list_.path(index);
}

int PlayListView::listIndex() const {
    return list_.selectedRow();
}

bool PlayListView::setListIndex(int index) {
    return list_.select(index);
}

int PlayListView::topIndex() const {
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

bool PlayListView::setTopIndex(int index) {
    if (index < 0 || index >= list_.count())
        return false;
    scrollTo(list_.index(index, column_), QAbstractItemView::PositionAtTop);
    return list_.setTopRow(index);
}

QString PlayListView::text() const {
    return list(list_.selectedRow());
}

QRect PlayListView::rowRect(int row) const {
    return visualRect(list_.index(row, column_));
}

}  // namespace zd
