#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

namespace zd::platform {

// A profile (initialisation) file: "[section]" headers and "key=value" lines.
//
// Sections and keys match without regard to case; the first matching section and key win.
// Writing a key replaces its value in place or adds it at the end of its section; a new section
// is appended to the file; keys are never deleted. Lines the program does not understand
// (comments, blank lines) are kept as they are.
//
// Files are written as UTF-8. A line whose bytes are not valid UTF-8 was written by the Windows
// program in its ANSI code page and is read as GBK; every other line keeps its UTF-8 text.
class ProfileDocument {
  public:
    ProfileDocument() = default;

    // A missing or unreadable file gives an empty document.
    static ProfileDocument load(const QString& path);
    static ProfileDocument parse(const QByteArray& bytes);
    // Like load, but false (and `doc` untouched) when the file exists and cannot be read, so a
    // caller about to write does not replace a file it could not see.
    static bool loadExisting(const QString& path, ProfileDocument& doc);

    // The value of [section] key, whole, or `fallback` when the section or key is absent.
    QString value(const QString& section, const QString& key, const QString& fallback) const;
    bool contains(const QString& section, const QString& key) const;

    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray serialize() const;
    // Writes the whole document to a temporary file beside `path` and renames it over `path`,
    // so a crash or a full disk leaves the previous file whole. False when nothing was written.
    bool save(const QString& path) const;

  private:
    struct Line {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        QString text;   // the line as it stands in the file, without its line break
        QString name;   // section name or key, trimmed
        QString value;  // entries only: the value as read (trimmed, outer quotes removed)
    };

    // Index of the first line of the section's header, or -1.
    int findSection(const QString& section) const;
    // Index of the key's line within the section starting at `header`, or -1.
    int findEntry(int header, const QString& key) const;
    // One past the last line that belongs to the section starting at `header`.
    int sectionEnd(int header) const;

    void indexSections();

    std::vector<Line> lines_;
    // First header line of each section by lower-case name; play lists hold thousands.
    QHash<QString, int> sectionIndex_;
    bool crlf_ = false;
};

// The platform's keyed read: the value, or `fallback` when the file, section or key is missing.
QString getProfileString(const QString& path, const QString& section, const QString& key,
                         const QString& fallback);

// The platform's keyed write: creates the file, section and key as needed. False when the file
// could not be written (the previous file stays as it was).
bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

}  // namespace zd::platform
