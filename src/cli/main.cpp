// trevalinctl: the command-line front end on the desktop program's engine and data.
#include "cli/CtlCommand.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    trevalin::CtlCommand command;
    return command.run(QCoreApplication::arguments());
}
