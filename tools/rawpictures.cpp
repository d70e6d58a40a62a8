// SPDX-License-Identifier: GPL-3.0-or-later
// Not part of the program: run by the build, it writes the C++ source that holds PNG files as the pixels
// Qt reads from them, so that the program shows them without decoding them at every start.
//
//   purlwave_rawpictures OUTPUT.cpp NAME FILE.png [NAME FILE.png ...]
//
// Each NAME becomes a ui::RawPicture (ui/rawpicture.h) of that name.
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: purlwave_rawpictures OUTPUT.cpp NAME FILE.png [NAME FILE.png ...]\n");
        return 2;
    }
    QByteArray text = "// Written by purlwave_rawpictures at build time: do not edit.\n"
                      "#include \"ui/rawpicture.h\"\n\nnamespace ui {\n";
    for (int i = 2; i < argc; i += 2) {
        const QString file = QString::fromLocal8Bit(argv[i + 1]);
        // Read as the program read it: Qt's own PNG reader, told the format.
        QImageReader reader(file, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (image.format() != QImage::Format_ARGB32) {
            std::fprintf(stderr, "%s: %s\n", argv[i + 1],
                         image.isNull() ? qPrintable(reader.errorString())
                                        : "not a PNG file with an alpha channel at 8 bits a channel");
            return 1;
        }
        const QByteArray name(argv[i]);
        text += "\nstatic const unsigned int " + name + "Pixels[] = {";
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                text += ((y * image.width() + x) % 8 == 0 ? "\n    0x" : " 0x")
                        + QByteArray::number(line[x], 16).rightJustified(8, '0') + "u,";
        }
        text += "\n};\nconst RawPicture " + name + "{" + QByteArray::number(image.width()) + ", "
                + QByteArray::number(image.height()) + ", " + name + "Pixels};\n";
    }
    text += "\n} // namespace ui\n";

    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        std::fprintf(stderr, "cannot write %s: %s\n", argv[1], qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
