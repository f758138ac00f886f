#include "program_icon.h"

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
    return QIcon(QStringLiteral(":/icons/larkspan.png"));
}

} // namespace larkspan
