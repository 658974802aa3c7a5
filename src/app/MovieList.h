#pragma once

#include <QString>

namespace zd {

// The play list as the windows that open movies see it: an opened movie joins it as a pair of
// its name and its path, and the list is written to its files.
class MovieList {
  public:
    virtual ~MovieList() = default;
    virtual void append(const QString& name, const QString& path) = 0;
    // SaveLists: both files as a pair; false when they could not be written (the old ones stay).
    virtual bool save() = 0;
};

}  // namespace zd
