#pragma once

#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zd {

// Lets a window accept files dropped from the file manager: once attached, each drop delivers
// the first dropped file, surrounding blanks removed, as one GetFileName notification of this
// object (so each window's own handler gets the drops on that window). An object serves one
// window at a time; detaching gives the window back its own earlier drop behaviour.
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
    // `name` without leading and trailing blanks, unless only the untrimmed name is a file.
    static QString withoutSurroundingBlanks(const QString& name);
    // Whether a drag carries text to load rather than files: a file manager's drag often
    // carries the files' names as text as well, and files belong to the drop objects.
    static bool isDroppedText(const QMimeData* data);

  signals:
    void GetFileName(const QString& sFile);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
};

}  // namespace zd
