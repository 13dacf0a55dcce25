// Build tool: writes the program icon, drawn by the same code as the tray icon, as
// <dir>/<N>x<N>/apps/lantorvix.png for each size N given: the hicolor theme's layout.
// usage: lantorvix-icon-png <dir> <size>...
#include "app/qt/icon_art.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("usage: lantorvix-icon-png <dir> <size>...\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen"); // a build machine has no display
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !lantorvix::IconPixmap(size).save(dir + QStringLiteral("/lantorvix.png"), "PNG")) {
            std::fprintf(stderr, "lantorvix-icon-png: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
