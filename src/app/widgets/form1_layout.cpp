#include "app/widgets/form1_layout.h"

#include <array>

namespace larkspan {

namespace {

using K = ControlKind;

// Tab indices of frames and labels are kept as designed although those controls never take focus.
constexpr std::array kControls {
    ControlRow {"Frame1", K::Frame, "", "运行状态", 240, 120, 1935, 1095, 0},
    // One pixel wider than designed: the colon's last pixel column is cut in the Linux UI font.
    ControlRow {"Label1", K::Label, "Frame1", "Apache：", 240, 360, 750, 255, 9},
    ControlRow {"la", K::Label, "Frame1", "", 1080, 360, 615, 255, 11},
    ControlRow {"Label2", K::Label, "Frame1", "MySQL：", 240, 720, 750, 255, 10},
    ControlRow {"lm", K::Label, "Frame1", "", 1080, 720, 615, 255, 12},
    ControlRow {"Apache", K::Frame, "", "Apache", 2280, 120, 2415, 975, 1},
    ControlRow {"starta", K::Button, "Apache", "启动", 120, 360, 615, 375, 4},
    ControlRow {"stopa", K::Button, "Apache", "停止", 900, 360, 615, 375, 3},
    ControlRow {"restaraCom", K::Button, "Apache", "重启", 1680, 360, 615, 375, 13},
    ControlRow {"Frame3", K::Frame, "", "MySQL", 3600, 1200, 1095, 1695, 2},
    ControlRow {"startm", K::Button, "Frame3", "启动", 240, 240, 615, 375, 6},
    ControlRow {"stopm", K::Button, "Frame3", "停止", 240, 720, 615, 375, 5},
    ControlRow {"restartmCom", K::Button, "Frame3", "重启", 240, 1200, 615, 375, 14},
    ControlRow {"Frame2", K::Frame, "", "提示信息", 120, 1440, 3255, 2655, 7},
    ControlRow {"List1", K::ListBox, "Frame2", "", 120, 240, 3015, 2220, 8},
    ControlRow {"zhanCom", K::Button, "", "站点管理", 3600, 3120, 975, 375, 16},
    ControlRow {"Command1", K::Button, "", "更多设置", 3600, 3720, 975, 375, 15},
};

// The buttons of both servers share their captions; the frame around them tells them apart to the
// eye, the description to the ear.
constexpr std::array kSpoken {
    SpokenRow {"la", {}, {}, "Apache 的运行状态"},
    SpokenRow {"lm", {}, {}, "MySQL 的运行状态"},
    SpokenRow {"starta", {}, {}, "启动 Apache"},
    SpokenRow {"stopa", {}, {}, "停止 Apache"},
    SpokenRow {"restaraCom", {}, {}, "重启 Apache"},
    SpokenRow {"startm", {}, {}, "启动 MySQL"},
    SpokenRow {"stopm", {}, {}, "停止 MySQL"},
    SpokenRow {"restartmCom", {}, {}, "重启 MySQL"},
    SpokenRow {"List1", {}, "提示信息", "服务器的启动、停止与设置记录，每行末尾是时间"},
    SpokenRow {"zhanCom", {}, {}, "编辑 Apache 的虚拟主机"},
    SpokenRow {"Command1", {}, {}, "打开菜单：设置、配置文件、服务、网页与退出"},
};

using M = MenuEntryKind;
constexpr bool kSub = true;
constexpr bool kHidden = true;

constexpr std::array kFileMenu {
    MenuRow {"phpset", M::Item, "PHP 设置"},
    MenuRow {"apcheset", M::Item, "Apache 设置"},
    MenuRow {"mysqlset", M::Item, "MySQL 设置"},
    MenuRow {"undoset", M::Item, "撤销上次设置"},
    MenuRow {"redoset", M::Item, "恢复上次撤销"},
    MenuRow {"configfile", M::Submenu, "配置文件"},
    MenuRow {"phpini", M::Item, "php-ini", kSub},
    MenuRow {"httpdconf", M::Item, "httpd-conf", kSub},
    MenuRow {"mysqlini", M::Item, "MySQL-ini", kSub},
    MenuRow {"phpmyadmininc", M::Item, "phpMyAdmin-inc", kSub},
    MenuRow {"sdaf", M::Separator, "-"},
    MenuRow {"apacheservice", M::Submenu, "Apache 服务"},
    MenuRow {"astart", M::Item, "启动", kSub},
    MenuRow {"astop", M::Item, "停止", kSub},
    MenuRow {"restarta", M::Item, "重启", kSub},
    MenuRow {"mysqlservice", M::Submenu, "MySQL 服务"},
    MenuRow {"mstart", M::Item, "启动", kSub},
    MenuRow {"mstop", M::Item, "停止", kSub},
    MenuRow {"restartm", M::Item, "重启", kSub},
    MenuRow {"servicecontrol", M::Item, "系统服务管理"},
    MenuRow {"zhan2", M::Item, "站点管理"},
    MenuRow {"sa", M::Separator, "-"},
    MenuRow {"phpmyadmin", M::Item, "phpMyAdmin"},
    MenuRow {"mysqlconsole", M::Item, "MySQL Console"},
    MenuRow {"homepage", M::Item, "My HomePage"},
    MenuRow {"wwwroot", M::Item, "WWW-root"},
    MenuRow {"mysqldata", M::Item, "MySQL Data"},
    MenuRow {"apachelog", M::Item, "Apache log"},
    MenuRow {"dsaf", M::Separator, "-"},
    MenuRow {"manual", M::Submenu, "Manual", false, kHidden},
    MenuRow {"phpmanual", M::Item, "PHP Manual", kSub},
    MenuRow {"jsmanual", M::Item, "JavaScript Manual", kSub},
    MenuRow {"cssmanual", M::Item, "CSS Manual", kSub},
    MenuRow {"faqs", M::Item, "FAQs", false, kHidden},
    MenuRow {"update", M::Item, "Update(更新)..."},
    MenuRow {"about", M::Item, "About(关于) ..."},
    MenuRow {"sdffd", M::Separator, "-"},
    MenuRow {"hideme", M::Item, "Hide Me (隐藏)"},
    MenuRow {"quit", M::Item, "Quit (退出)"},
};

// The notification icon's menu lists the MySQL service before the Apache one.
constexpr std::array kFilezMenu {
    MenuRow {"homepage2", M::Item, "My HomePage"},
    MenuRow {"phpinfo", M::Item, "phpinfo"},
    MenuRow {"wwwroot2", M::Item, "WWW-root"},
    MenuRow {"dsg", M::Separator, "-"},
    MenuRow {"mysqldata2", M::Item, "MySQL Data"},
    MenuRow {"mysqlconsole2", M::Item, "MySQL Console"},
    MenuRow {"phpmyadmin2", M::Item, "phpMyAdmin"},
    MenuRow {"sdf", M::Separator, "-"},
    MenuRow {"servicecontrol2", M::Item, "系统服务管理"},
    MenuRow {"mysqlservice2", M::Submenu, "MySQL 服务"},
    MenuRow {"mstart2", M::Item, "启动", kSub},
    MenuRow {"mstop2", M::Item, "停止", kSub},
    MenuRow {"restartm2", M::Item, "重启", kSub},
    MenuRow {"apacheservice2", M::Submenu, "Apache 服务"},
    MenuRow {"astart2", M::Item, "启动", kSub},
    MenuRow {"astop2", M::Item, "停止", kSub},
    MenuRow {"restarta2", M::Item, "重启", kSub},
    MenuRow {"dsfdfg", M::Separator, "-"},
    MenuRow {"zhan1", M::Item, "站点管理"},
    MenuRow {"configfile2", M::Submenu, "配置文件"},
    MenuRow {"phpini2", M::Item, "php-ini", kSub},
    MenuRow {"httpdconf2", M::Item, "httpd-conf", kSub},
    MenuRow {"mysqlini2", M::Item, "MySQL-ini", kSub},
    MenuRow {"phpmyadmininc2", M::Item, "phpMyAdmin-inc", kSub},
    MenuRow {"mysqlset2", M::Item, "MySQL 设置"},
    MenuRow {"apcheset2", M::Item, "Apache 设置"},
    MenuRow {"phpset2", M::Item, "PHP 设置"},
    MenuRow {"undoset2", M::Item, "撤销上次设置"},
    MenuRow {"redoset2", M::Item, "恢复上次撤销"},
    MenuRow {"dsf", M::Separator, "-"},
    MenuRow {"about2", M::Item, "About(关于)..."},
    MenuRow {"update2", M::Item, "Update(更新)...", false, kHidden},
    MenuRow {"showme", M::Item, "Show Me (显示)"},
    MenuRow {"quit3", M::Item, "Quit(退出)"},
};

// Built but never shown by any command.
constexpr std::array kFileyMenu {
    MenuRow {"phpmanual2", M::Item, "PHP Manual"},
    MenuRow {"jsmanual2", M::Item, "JavaScript Manual"},
    MenuRow {"cssmanual2", M::Item, "CSS Manual"},
    MenuRow {"rerer", M::Separator, "-"},
    MenuRow {"faqs2", M::Item, "FAQs"},
    MenuRow {"quit2", M::Item, "Quit (退出)"},
};

constexpr std::array kMenus {
    MenuTable {"file", kFileMenu, "更多设置"},
    MenuTable {"filez", kFilezMenu, "LarkspanAdmin"},
    MenuTable {"filey", kFileyMenu, "手册"},
};

constexpr ServiceControlNames kApacheControls {
    "la", "starta", "stopa", {"astart", "astart2"}, {"astop", "astop2"}};
constexpr ServiceControlNames kMySqlControls {
    "lm", "startm", "stopm", {"mstart", "mstart2"}, {"mstop", "mstop2"}};

} // namespace

std::span<const ControlRow> Form1Controls()
{
    return kControls;
}
std::span<const SpokenRow> Form1Spoken()
{
    return kSpoken;
}
std::span<const MenuTable> Form1Menus()
{
    return kMenus;
}

const ServiceControlNames& ControlNamesFor(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? kApacheControls : kMySqlControls;
}

} // namespace larkspan
