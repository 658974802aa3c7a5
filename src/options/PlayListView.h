#pragma once

#include <QListView>

namespace zd {

class MouseEventSource;
class PlayList;

// One view of the play list: its names (List1) or its paths (List2). The view shows the list's
// selected row and scrolls to its top row; a row the user picks becomes the list's selection,
// and the first view's scrolling moves the list's top row. The read calls are the classic list
// box's: the entry count, the entry at a position, the selected position and its text.
class PlayListView : public QListView {
    Q_OBJECT
  public:
    // `leadsScrolling`: this view's scroll position is the list's top row.
    PlayListView(PlayList& list, int column, bool leadsScrolling, QWidget* parent = nullptr);
    MouseEventSource* events() const { return events_; }
    PlayList& playList() const { return list_; }

    int listCount() const;
    QString list(int index) const;  // "" outside the list
    int listIndex() const;          // -1 when nothing is selected
    bool setListIndex(int index);   // false outside the list
    int topIndex() const;
    bool setTopIndex(int index);
    QString text() const;  // the selected entry, "" when none
    // The row's rectangle in the viewport's pixels.
    QRect rowRect(int row) const;

  private:
    void showSelection();
    void showTopRow();

    PlayList& list_;
    int column_;
    MouseEventSource* events_;
    bool following_ = false;
};

}  // namespace zd
