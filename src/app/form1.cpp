#include "form1.h"

#include "instance_guard.h"
#include "messages.h"

namespace larkspan {

Form1::Form1(Form1Deps deps, QWidget* parent)
    : QWidget(parent)
    , m_deps(deps)
{
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
}

bool Form1::Form_Load()
{
    if (!m_deps.instance.TryAcquire()) {
        m_deps.messages.Inform("您已经运行这个应用程序了！");
        return false;
    }
    show();
    return true;
}

} // namespace larkspan
