// Hands one file to the desktop's association the way the program does, under whatever
// platform plugin the environment names. The offscreen plugin of the test programs has no
// desktop services, so the association test runs this under X.
#include "ExternalPlayers.h"

#include <QGuiApplication>

using namespace corvanel;
using namespace corvanel::playback;

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    return players::handOver(QString::fromLocal8Bit(argv[1]), true, QString()) ? 0 : 1;
}
