#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "platform/RealServices.h"

namespace zd::platform {

void QtMessageBoxes::show(const QString& text, const QString& caption, int style) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0x70) {
        case 0x10:
            icon = QMessageBox::Critical;
            break;
        case 0x20:
            icon = QMessageBox::Question;
            break;
        case 0x30:
            icon = QMessageBox::Warning;
            break;
        case 0x40:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

std::optional<OpenFileResult> QtCommonDialogs::openFile(QWidget* owner,
                                                        const OpenFileRequest& request) {
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size()) {
        dialog.selectNameFilter(request.filters.at(request.filterIndex - 1));
    }
    if (!request.initialFile.isEmpty()) {
        const QFileInfo info(request.initialFile);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    OpenFileResult result;
    result.path = dialog.selectedFiles().constFirst();
    result.fileTitle = QFileInfo(result.path).fileName();
    return result;
}

std::optional<QColor> QtCommonDialogs::chooseColor(QWidget* owner, const QColor& initial) {
    QColorDialog dialog(initial, owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

std::optional<QString> QtCommonDialogs::browseForFolder(QWidget* owner, const QString& title) {
    // The browse starts at the desktop, as the folder tree's root.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder = QFileDialog::getExistingDirectory(
        owner, title, desktop, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

}  // namespace zd::platform
