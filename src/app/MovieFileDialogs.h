#pragma once

#include <QPointer>
#include <QWidget>

#include "engine/script/FileDialogs.h"

namespace zd {

// The file dialogs a movie's FileReference asks for, as Qt's: an open dialog to browse, a save
// dialog to download. Each is shown without blocking the movie (it keeps playing behind it)
// and answers when the user closes it; one whose owner is gone answers as cancelled.
class MovieFileDialogs final : public script::FileDialogs {
  public:
    explicit MovieFileDialogs(QWidget* owner) : owner_(owner) {}

    void open(const std::vector<script::FileTypeFilter>& filters, bool multiple,
              OpenDone done) override;
    void save(const std::string& suggestedName, SaveDone done) override;

  private:
    QPointer<QWidget> owner_;
};

}  // namespace zd
