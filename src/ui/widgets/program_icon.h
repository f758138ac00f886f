#pragma once

#include <QIcon>

namespace larkspan {

/// The program's icon: the main window's, the notification icon's and the About dialog's.
QIcon ProgramIcon();

} // namespace larkspan
