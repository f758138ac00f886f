#include "dialogs/widgets/zhanform.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace larkspan {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlRow kLayout[] = {
    {"Label3",   K::Label,         "", "",                                             240,  240, 2175, 1455, -1},
    {"Label2",   K::Label,         "", "示\n例",                                       2520,  600,  255,  615, -1},
    {"Text1",    K::MultiLineText, "", "",                                            2880,  240, 3495, 1455,  0},
    {"Label1",   K::Label,         "", "请复制示例内容填到下面的框中做相应修改后保存",  240, 1920, 5775,  255, -1},
    {"host",     K::MultiLineText, "", "",                                             240, 2280, 6135, 4095,  1},
    {"Command2", K::Button,        "", "取消",                                        2880, 6480, 1095,  375,  2},
    {"Command1", K::Button,        "", "保存",                                        4440, 6480, 1095,  375,  3},
};
// clang-format on

// The label above the file's box is an instruction, too long to hear as the box's name at every visit.
constexpr SpokenRow kSpoken[] = {
    {"Label2", {}, "示例"},
    {"Text1", {}, "示例", "一个虚拟主机的示例，可复制"},
    {"host", "Label1", "虚拟主机配置 vhosts.conf", "请复制示例内容填到下面的框中做相应修改后保存"},
    {"Command2", {}, {}, "不保存，关闭窗口"},
    {"Command1", {}, {}, "保存到 vhosts.conf 并关闭窗口"},
};

// The editor works with CR LF line ends; the text widgets with LF.
QString ForDisplay(const std::string& text)
{
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// The box's text as it holds it: toPlainText would turn no-break spaces into blanks and line
// separators (U+2028) into line breaks. Its paragraphs end with U+2029.
std::string FromEditor(const QPlainTextEdit* editor)
{
    return editor->document()
        ->toRawText()
        .replace(QChar::ParagraphSeparator, QLatin1String("\r\n"))
        .toStdString();
}

} // namespace

zhanform::zhanform(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
    SafeSaveServices* services, QWidget* parent)
    : SettingsDialog("站点管理", 6675, 7080, kLayout, kSpoken, files, messages, services, parent)
    , m_hosts(files, messages, codePage, checked())
    , m_label3(Find<QLabel>("Label3"))
    , m_text1(Find<QPlainTextEdit>("Text1"))
    , m_host(Find<QPlainTextEdit>("host"))
{
    m_label3->setWordWrap(false);
    m_text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_host->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text1->viewport()->installEventFilter(this);
    WaitingControls({"host", "Command1", "Command2"});
}

void zhanform::Form_Load()
{
    Loading();
    m_text1->setPlainText(ForDisplay(VirtualHosts::ExampleBlock()));
    m_label3->setText(ForDisplay(VirtualHosts::Explanation()));
    m_host->setPlainText(ForDisplay(m_hosts.Load()));
    m_host->setFocus();
}

void zhanform::Command1_Click()
{
    Submitted(m_hosts.Save(FromEditor(m_host)));
}

void zhanform::Text1_Click()
{
    m_text1->selectAll();
}

bool zhanform::eventFilter(QObject* watched, QEvent* event)
{
    // A click ends with the button's release; selecting then keeps the press from undoing it.
    if (watched == m_text1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const bool handled = QDialog::eventFilter(watched, event);
        Text1_Click();
        return handled;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace larkspan
