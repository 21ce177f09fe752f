#include "app/runstate.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KRtp"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("version")) {
        std::printf("%s\n", qPrintable(krtp::GetProgramVersion()));
        return 0;
    }
    std::fprintf(stderr, "usage: krtp-cli version\n");
    return 2;
}
