#include "app/widgets/form1.h"

#include <QAction>
#include <QPushButton>

namespace larkspan {

namespace {

struct Binding
{
    const char* control;
    void (Form1::*handler)();
};

// Buttons connect their click, menu items their trigger. Submenus and separators have no handler,
// nor has `quit2`, which does nothing.
constexpr Binding kBindings[] {
    {"starta", &Form1::starta_Click},
    {"astart", &Form1::astart_Click},
    {"astart2", &Form1::astart2_Click},
    {"stopa", &Form1::stopa_Click},
    {"astop", &Form1::astop_Click},
    {"astop2", &Form1::astop2_Click},
    {"restarta", &Form1::restarta_Click},
    {"restaraCom", &Form1::restaraCom_Click},
    {"restarta2", &Form1::restarta2_Click},
    {"startm", &Form1::startm_Click},
    {"mstart", &Form1::mstart_Click},
    {"mstart2", &Form1::mstart2_Click},
    {"stopm", &Form1::stopm_Click},
    {"mstop", &Form1::mstop_Click},
    {"mstop2", &Form1::mstop2_Click},
    {"restartm", &Form1::restartm_Click},
    {"restartmCom", &Form1::restartmCom_Click},
    {"restartm2", &Form1::restartm2_Click},
    {"phpini", &Form1::phpini_Click},
    {"phpini2", &Form1::phpini2_Click},
    {"httpdconf", &Form1::httpdconf_Click},
    {"httpdconf2", &Form1::httpdconf2_Click},
    {"mysqlini", &Form1::mysqlini_Click},
    {"mysqlini2", &Form1::mysqlini2_Click},
    {"phpmyadmininc", &Form1::phpmyadmininc_Click},
    {"phpmyadmininc2", &Form1::phpmyadmininc2_Click},
    {"wwwroot", &Form1::wwwroot_Click},
    {"wwwroot2", &Form1::wwwroot2_Click},
    {"mysqldata", &Form1::mysqldata_Click},
    {"mysqldata2", &Form1::mysqldata2_Click},
    {"apachelog", &Form1::apachelog_Click},
    {"mysqlconsole", &Form1::mysqlconsole_Click},
    {"mysqlconsole2", &Form1::mysqlconsole2_Click},
    {"servicecontrol", &Form1::servicecontrol_Click},
    {"servicecontrol2", &Form1::servicecontrol2_Click},
    {"homepage", &Form1::homepage_Click},
    {"homepage2", &Form1::homepage2_Click},
    {"phpmyadmin", &Form1::phpmyadmin_Click},
    {"phpmyadmin2", &Form1::phpmyadmin2_Click},
    {"phpinfo", &Form1::phpinfo_Click},
    {"phpmanual", &Form1::phpmanual_Click},
    {"phpmanual2", &Form1::phpmanual2_Click},
    {"jsmanual", &Form1::jsmanual_Click},
    {"jsmanual2", &Form1::jsmanual2_Click},
    {"cssmanual", &Form1::cssmanual_Click},
    {"cssmanual2", &Form1::cssmanual2_Click},
    {"faqs", &Form1::faqs_Click},
    {"faqs2", &Form1::faqs2_Click},
    {"update", &Form1::update_Click},
    {"update2", &Form1::update2_Click},
    {"apcheset", &Form1::apcheset_Click},
    {"apcheset2", &Form1::apcheset2_Click},
    {"phpset", &Form1::phpset_Click},
    {"phpset2", &Form1::phpset2_Click},
    {"mysqlset", &Form1::mysqlset_Click},
    {"mysqlset2", &Form1::mysqlset2_Click},
    {"zhanCom", &Form1::zhanCom_Click},
    {"zhan1", &Form1::zhan1_Click},
    {"zhan2", &Form1::zhan2_Click},
    {"about", &Form1::about_Click},
    {"about2", &Form1::about2_Click},
    {"undoset", &Form1::undoset_Click},
    {"undoset2", &Form1::undoset2_Click},
    {"redoset", &Form1::redoset_Click},
    {"redoset2", &Form1::redoset2_Click},
    {"Command1", &Form1::Command1_Click},
    {"hideme", &Form1::hideme_Click},
    {"showme", &Form1::showme_Click},
    {"quit", &Form1::quit_Click},
    {"quit3", &Form1::quit3_Click},
};

} // namespace

void Form1::ConnectHandlers()
{
    for (const Binding& binding : kBindings) {
        const QString name = QString::fromLatin1(binding.control);
        if (auto* button = findChild<QPushButton*>(name))
            connect(button, &QPushButton::clicked, this, binding.handler);
        else if (auto* action = findChild<QAction*>(name))
            connect(action, &QAction::triggered, this, binding.handler);
        else
            qFatal("Form1: no control named %s", binding.control);
    }
}

} // namespace larkspan
