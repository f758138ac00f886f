#include "ui/widgets/program_icon.h"

#include <QDir>

// Resources of a static library are only linked in when something refers to their initialiser.
static void InitialiseIconResource()
{
    Q_INIT_RESOURCE(larkspan);
}

namespace larkspan {

QIcon ProgramIcon()
{
    static const bool initialised = (InitialiseIconResource(), true);
    Q_UNUSED(initialised);
    // Every rendered size, so that the notification area and the window frame draw a sharp
    // picture at any scale instead of stretching one bitmap.
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons"));
    for (const QString& name : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(folder.filePath(name));
    return icon;
}

} // namespace larkspan
