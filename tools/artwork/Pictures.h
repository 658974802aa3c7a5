#pragma once

#include <QImage>
#include <QString>
#include <vector>

// Every picture of resources/, with the file it goes to and how it is stored there.
enum class Storage { Bmp8, Bmp24, Png24, Png32 };

struct Picture {
    QString path;  // relative to resources/
    QImage image;
    Storage storage;
};

std::vector<Picture> allPictures();
