#pragma once
// What the benchmark programs that run a reader on an X server (an Xvfb
// screen) share: a fresh home for each program, and telling when a paper
// page stands on the screen.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// The environment with HOME and the XDG folders in `home`, so that a program
// finds no state of an earlier run and hands nothing to a running one.
inline QProcessEnvironment freshHomeEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QString::fromLatin1(name), folder);
    }
    return environment;
}

// Whether a paper page is on the screen: paper white (near white in every
// channel, which a window's grey is not) over a fifth of it, with dark
// print on it.
inline bool paperShown(const QImage &screen)
{
    const QImage image = screen.convertToFormat(QImage::Format_RGB32);
    qint64 white = 0;
    qint64 dark = 0;
    for (int y = 0; y < image.height(); y += 2) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 2) {
            const QRgb p = line[x];
            if (qRed(p) >= 246 && qGreen(p) >= 242 && qBlue(p) >= 230)
                ++white;
            else if (qRed(p) < 90 && qGreen(p) < 90 && qBlue(p) < 90)
                ++dark;
        }
    }
    const qint64 all = qint64(image.width() / 2) * (image.height() / 2);
    return white * 5 >= all && dark * 500 >= all;
}
