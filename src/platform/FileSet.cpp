#include "platform/FileSet.h"

#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <memory>

namespace zd::platform {

namespace {

bool renameOver(const QString& from, const QString& to) {
    // Unlike QFile::rename, rename(2) replaces an existing target in one step.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A new file beside `target` holding `bytes`, flushed to the disk, with the target's
// permissions (a new target's: readable by all, writable by its owner); null when it cannot be
// written whole.
std::unique_ptr<QTemporaryFile> writtenBeside(const QString& target, const QByteArray& bytes) {
    auto file = std::make_unique<QTemporaryFile>(target + QStringLiteral(".new-XXXXXX"));
    if (!file->open() || file->write(bytes) != bytes.size() || !file->flush() ||
        ::fsync(file->handle()) != 0)
        return nullptr;
    const QFileInfo existing(target);
    file->setPermissions(existing.isFile() ? existing.permissions()
                                           : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ReadOther);
    file->close();
    return file;
}

// A copy of the target as it is now, to put back; null when there is no target.
std::unique_ptr<QTemporaryFile> keptCopy(const QString& target, bool& failed) {
    failed = false;
    if (!QFileInfo(target).isFile())
        return nullptr;
    QFile old(target);
    if (!old.open(QIODevice::ReadOnly)) {
        failed = true;
        return nullptr;
    }
    std::unique_ptr<QTemporaryFile> copy = writtenBeside(target, old.readAll());
    failed = !copy;
    return copy;
}

}  // namespace

bool replaceFilesTogether(const std::vector<FileContent>& files) {
    std::vector<std::unique_ptr<QTemporaryFile>> written;
    for (const FileContent& file : files) {
        written.push_back(writtenBeside(file.path, file.bytes));
        if (!written.back())
            return false;  // the temporary files go with their objects
    }
    std::vector<std::unique_ptr<QTemporaryFile>> kept;
    for (const FileContent& file : files) {
        bool failed = false;
        kept.push_back(keptCopy(file.path, failed));
        if (failed)
            return false;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (renameOver(written[i]->fileName(), files[i].path)) {
            written[i]->setAutoRemove(false);
            continue;
        }
        // The pair would be split: the files already replaced get their old contents back.
        for (size_t j = 0; j < i; ++j) {
            if (kept[j] && renameOver(kept[j]->fileName(), files[j].path))
                kept[j]->setAutoRemove(false);
            else if (!kept[j])
                QFile::remove(files[j].path);
        }
        return false;
    }
    return true;
}

}  // namespace zd::platform
