#include "dialogs/widgets/fphp.h"

#include <QComboBox>
#include <QLineEdit>

namespace larkspan {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlRow kLayout[] = {
    {"Frame1",      K::Frame,   "",       "PHP设置",             240,  120, 5400, 2775, -1},
    {"Label1",      K::Label,   "Frame1", "全局变量：",          240,  420, 1335,  255, -1},
    {"register",    K::DropDown,    "Frame1", "On|Off",             1560,  360, 1095,  315,  2},
    {"Label2",      K::Label,   "Frame1", "错误显示：",         2880,  420, 1335,  255, -1},
    {"display",     K::DropDown,    "Frame1", "On|Off",             4200,  360, 1095,  315,  8},
    {"Label3",      K::Label,   "Frame1", "安全模式：",          240,  900, 1335,  255, -1},
    {"safe",        K::DropDown,    "Frame1", "On|Off",             1560,  840, 1095,  315,  7},
    {"Label4",      K::Label,   "Frame1", "输出缓存：",         2880,  900, 1335,  255, -1},
    {"buffer",      K::DropDown,    "Frame1", "On|Off",             4200,  840, 1095,  315,  4},
    {"Label5",      K::Label,   "Frame1", "开始标志缩写：",      240, 1320, 1215,  480, -1},
    {"short",       K::DropDown,    "Frame1", "On|Off",             1560, 1380, 1095,  315,  3},
    {"Label6",      K::Label,   "Frame1", "脚本运行最长时间：",  240, 1980, 1215,  480, -1},
    {"max_time",    K::TextBox, "Frame1", "",                   1560, 2040,  855,  300,  0},
    {"Label7",      K::Label,   "Frame1", "秒",                 2460, 2070,  300,  255, -1},
    {"Label8",      K::Label,   "Frame1", "上传文件的最大限制：", 2880, 1980, 1215,  480, -1},
    {"upload_file", K::TextBox, "Frame1", "",                   4200, 2040,  855,  300,  1},
    {"Label9",      K::Label,   "Frame1", "M",                  5100, 2070,  255,  255, -1},
    {"Command1",    K::Button,  "",       "确定",               3360, 3060, 1035,  375,  5},
    {"Command2",    K::Button,  "",       "取消",               4560, 3060, 1035,  375,  6},
};
// clang-format on

constexpr SpokenRow kSpoken[] = {
    {"register", "Label1"},
    {"display", "Label2"},
    {"safe", "Label3"},
    {"buffer", "Label4"},
    {"short", "Label5"},
    {"max_time", "Label6", {}, "单位：秒"},
    {"upload_file", "Label8", {}, "单位：M（兆字节）"},
    {"Command1", {}, {}, "保存设置并关闭窗口"},
    {"Command2", {}, {}, "不保存，关闭窗口"},
};

void Select(QComboBox* list, const std::string& entry)
{
    list->setCurrentIndex(list->findText(QString::fromStdString(entry)));
}

} // namespace

fphp::fphp(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
    SafeSaveServices* services, QWidget* parent)
    : SettingsDialog("PHP设置", 5880, 3645, kLayout, kSpoken, files, messages, services, parent)
    , m_settings(files, messages, codePage, checked())
    , m_short(Find<QComboBox>("short"))
    , m_buffer(Find<QComboBox>("buffer"))
    , m_safe(Find<QComboBox>("safe"))
    , m_display(Find<QComboBox>("display"))
    , m_register(Find<QComboBox>("register"))
    , m_maxTime(Find<QLineEdit>("max_time"))
    , m_uploadFile(Find<QLineEdit>("upload_file"))
{
    WaitingControls({"Frame1", "Command1", "Command2"});
}

void fphp::Form_Load()
{
    Loading();
    const PhpFields loaded = m_settings.Load();
    Select(m_short, loaded.shortOpenTag);
    Select(m_buffer, loaded.outputBuffering);
    Select(m_safe, loaded.safeMode);
    Select(m_display, loaded.displayErrors);
    Select(m_register, loaded.registerGlobals);
    m_uploadFile->setText(QString::fromStdString(loaded.uploadFile));
    m_maxTime->setText(QString::fromStdString(loaded.maxTime));
    m_maxTime->setFocus();
}

void fphp::Command1_Click()
{
    const PhpFields fields {m_short->currentText().toStdString(), m_buffer->currentText().toStdString(),
        m_safe->currentText().toStdString(), m_display->currentText().toStdString(),
        m_register->currentText().toStdString(), m_maxTime->text().toStdString(),
        m_uploadFile->text().toStdString()};
    Submitted(m_settings.Save(fields));
}

} // namespace larkspan
