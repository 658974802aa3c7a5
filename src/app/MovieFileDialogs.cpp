#include "app/MovieFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace zd {

namespace {

// "Images (*.jpg *.png)" for each type choice the movie offers.
QStringList nameFilters(const std::vector<script::FileTypeFilter>& filters) {
    QStringList out;
    for (const script::FileTypeFilter& f : filters) {
        QStringList patterns;
        for (const std::string& p : f.patterns) {
            patterns << QString::fromStdString(p);
        }
        out << QStringLiteral("%1 (%2)").arg(QString::fromStdString(f.description),
                                             patterns.join(u' '));
    }
    return out;
}

QFileDialog* makeDialog(QWidget* owner) {
    auto* dialog = new QFileDialog(owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    return dialog;
}

}  // namespace

void MovieFileDialogs::open(const std::vector<script::FileTypeFilter>& filters, bool multiple,
                            OpenDone done) {
    QFileDialog* dialog = makeDialog(owner_);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!filters.empty()) {
        dialog->setNameFilters(nameFilters(filters));
    }
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, done = std::move(done)](int result) {
                         std::vector<std::string> paths;
                         if (result == QDialog::Accepted) {
                             for (const QString& path : dialog->selectedFiles()) {
                                 if (QFileInfo(path).isFile()) {
                                     paths.push_back(path.toStdString());
                                 }
                             }
                         }
                         done(std::move(paths));
                     });
    dialog->open();
}

void MovieFileDialogs::save(const std::string& suggestedName, SaveDone done) {
    QFileDialog* dialog = makeDialog(owner_);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    dialog->setDirectory(downloads.isEmpty() ? QDir::homePath() : downloads);
    dialog->selectFile(QString::fromStdString(suggestedName));
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, done = std::move(done)](int result) {
                         std::optional<std::string> path;
                         if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
                             path = dialog->selectedFiles().constFirst().toStdString();
                         }
                         done(std::move(path));
                     });
    dialog->open();
}

}  // namespace zd
