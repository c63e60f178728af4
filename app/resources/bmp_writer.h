// 24-bit uncompressed BMP files (bottom-up rows, each padded to 4 bytes).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

QByteArray EncodeBmp24(const QImage& image);
bool WriteBmp24(const QImage& image, const QString& path);
