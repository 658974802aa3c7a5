#include "platform/ProfileFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <optional>

namespace zd::platform {

namespace {

// The text of `bytes` as UTF-8, or nullopt when they are not valid UTF-8.
std::optional<QString> fromUtf8(QByteArrayView bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

QString decodeFileText(const QByteArray& bytes) {
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);
    if (std::optional<QString> text = fromUtf8(body))
        return *text;
    // Lines that are not UTF-8 were written by the Windows program in the Chinese ANSI code
    // page; each line is decided on its own, so one such line leaves the others as they are.
    QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
    QString text;
    text.reserve(body.size());
    qsizetype start = 0;
    while (start <= body.size()) {
        qsizetype end = body.indexOf('\n', start);
        if (end < 0)
            end = body.size();
        const QByteArrayView line = body.sliced(start, end - start);
        if (std::optional<QString> utf8 = fromUtf8(line))
            text += *utf8;
        else
            text += gbk.isValid() ? gbk.decode(line) : QString::fromLatin1(line);
        if (end < body.size())
            text += QLatin1Char('\n');
        start = end + 1;
    }
    return text;
}

QString unquote(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first) {
            return value.mid(1, value.size() - 2);
        }
    }
    return value;
}

// A value or name must stay on its own line, or it would split into new entries of the file.
QString singleLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

ProfileDocument ProfileDocument::load(const QString& path) {
    ProfileDocument doc;
    loadExisting(path, doc);
    return doc;
}

bool ProfileDocument::loadExisting(const QString& path, ProfileDocument& doc) {
    QFile file(path);
    if (!file.exists()) {
        doc = {};
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    doc = parse(file.readAll());
    return true;
}

ProfileDocument ProfileDocument::parse(const QByteArray& bytes) {
    ProfileDocument doc;
    const QString text = decodeFileText(bytes);
    doc.crlf_ = text.contains(QLatin1String("\r\n"));
    QStringList rawLines = text.split(QLatin1Char('\n'));
    if (!rawLines.isEmpty() && rawLines.back().isEmpty())
        rawLines.removeLast();
    doc.lines_.reserve(rawLines.size());
    for (QString raw : rawLines) {
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        Line line;
        line.text = raw;
        const QString trimmed = raw.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            const int close = trimmed.indexOf(QLatin1Char(']'));
            if (close > 0) {
                line.kind = Line::Kind::Section;
                line.name = trimmed.mid(1, close - 1).trimmed();
            }
        } else if (!trimmed.startsWith(QLatin1Char(';'))) {
            const int eq = trimmed.indexOf(QLatin1Char('='));
            if (eq > 0) {
                line.kind = Line::Kind::Entry;
                line.name = trimmed.left(eq).trimmed();
                line.value = unquote(trimmed.mid(eq + 1).trimmed());
            }
        }
        doc.lines_.push_back(std::move(line));
    }
    doc.indexSections();
    return doc;
}

void ProfileDocument::indexSections() {
    sectionIndex_.clear();
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        if (lines_[i].kind != Line::Kind::Section)
            continue;
        const QString name = lines_[i].name.toLower();
        if (!sectionIndex_.contains(name))
            sectionIndex_.insert(name, i);
    }
}

int ProfileDocument::findSection(const QString& section) const {
    return sectionIndex_.value(section.trimmed().toLower(), -1);
}

int ProfileDocument::sectionEnd(int header) const {
    int i = header + 1;
    while (i < static_cast<int>(lines_.size()) && lines_[i].kind != Line::Kind::Section)
        ++i;
    return i;
}

int ProfileDocument::findEntry(int header, const QString& key) const {
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Line::Kind::Entry && sameName(lines_[i].name, wanted))
            return i;
    }
    return -1;
}

QString ProfileDocument::value(const QString& section, const QString& key,
                               const QString& fallback) const {
    const int header = findSection(section);
    if (header >= 0) {
        const int entry = findEntry(header, key);
        if (entry >= 0)
            return lines_[entry].value;
    }
    return fallback;
}

bool ProfileDocument::contains(const QString& section, const QString& key) const {
    const int header = findSection(section);
    return header >= 0 && findEntry(header, key) >= 0;
}

void ProfileDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString cleanKey = singleLine(key).trimmed();
    const QString cleanValue = singleLine(value);
    Line entry;
    entry.kind = Line::Kind::Entry;
    entry.name = cleanKey;
    entry.value = unquote(cleanValue.trimmed());
    entry.text = cleanKey + QLatin1Char('=') + cleanValue;

    int header = findSection(section);
    if (header < 0) {
        Line head;
        head.kind = Line::Kind::Section;
        head.name = singleLine(section).trimmed();
        head.text = QLatin1Char('[') + head.name + QLatin1Char(']');
        sectionIndex_.insert(head.name.toLower(), static_cast<int>(lines_.size()));
        lines_.push_back(std::move(head));
        lines_.push_back(std::move(entry));
        return;
    }
    const int existing = findEntry(header, key);
    if (existing >= 0) {
        // Keep the spelling the file already uses for the key.
        entry.name = lines_[existing].name;
        entry.text = entry.name + QLatin1Char('=') + cleanValue;
        lines_[existing] = std::move(entry);
        return;
    }
    // New key: after the section's last entry, ahead of any trailing blank or comment lines.
    int insertAt = sectionEnd(header);
    while (insertAt > header + 1 && lines_[insertAt - 1].kind == Line::Kind::Other &&
           lines_[insertAt - 1].text.trimmed().isEmpty()) {
        --insertAt;
    }
    lines_.insert(lines_.begin() + insertAt, std::move(entry));
    indexSections();
}

QByteArray ProfileDocument::serialize() const {
    const QString eol = crlf_ ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    for (const Line& line : lines_) {
        text += line.text;
        text += eol;
    }
    return text.toUtf8();
}

bool ProfileDocument::save(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = serialize();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString getProfileString(const QString& path, const QString& section, const QString& key,
                         const QString& fallback) {
    return ProfileDocument::load(path).value(section, key, fallback);
}

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
    ProfileDocument doc;
    // A file we cannot read is not replaced by one holding only this key.
    if (!ProfileDocument::loadExisting(path, doc))
        return false;
    doc.setValue(section, key, value);
    return doc.save(path);
}

}  // namespace zd::platform
