#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zd {

// Lets a window accept files dropped from the file manager: once attached, each drop delivers
// the first dropped file, surrounding blanks removed, as one GetFileName notification. Every
// attached window keeps its own earlier drop behaviour, which detaching restores.
class clsEx_Drag : public QObject {
    Q_OBJECT
  public:
    clsEx_Drag();
    ~clsEx_Drag() override;  // detaches its window

    void Start_SubClass(QWidget* window);
    void Stop_SubClass(QWidget* window);
    QWidget* attachedWindow() const { return window_; }

    // The first local file of a drop, blanks trimmed; empty when the drop carries no file.
    static QString firstDroppedFile(const QMimeData* data);

  signals:
    void GetFileName(const QString& sFile);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
    bool previousAcceptDrops_ = false;
};

}  // namespace zd
