#pragma once

#include <QString>

namespace zd {

// StripPath: the file-name part of a local path (the text after its last "/" or "\"), possibly
// empty; a text without a separator comes back whole. A web address (scheme://...) keeps its
// forward slashes and is only cut at a backslash.
QString StripPath(const QString& path);

// True for texts of the form scheme://... (http://, https://, ftp://).
bool isWebAddress(const QString& text);

}  // namespace zd
