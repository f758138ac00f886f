#include "app/widgets/program_options.h"

#include "config/version.h"
#include "texts/catalogue.h"
#include "ui/message_boxes.h"
#include "ui/widgets/form_layout.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace larkspan {

namespace {

// Qt's own options, documented for every Qt program, are left to QApplication: session managers
// restart the program with -session, and -platform chooses the display.
void AddQtOptions(QCommandLineParser& parser)
{
    const char* const withValue[]
        = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
            "qwindowtitle", "session", "display", "geometry", "style", "stylesheet", "qmljsdebugger"};
    for (const char* name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// The option as the user wrote it, dashes included: the parser reports bare names.
QString AsTyped(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments) {
        const QString written = argument.section(QLatin1Char('='), 0, 0);
        if (written.startsWith(QLatin1Char('-'))
            && QStringView(written).sliced(written.startsWith(QLatin1String("--")) ? 2 : 1) == name)
            return written;
    }
    return name;
}

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QtMessageHandler g_qtHandler = nullptr;

void ExitWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        if (g_qtHandler)
            g_qtHandler(type, context, message);
        return;
    }
    Print(stderr, ToQString(catalogue::NoDisplay(message.toStdString())) + QLatin1Char('\n'));
    std::fflush(stderr);
    // Qt is half made: nothing of it may run on the way out.
    std::_Exit(1);
}

} // namespace

NoDisplayExit::NoDisplayExit()
{
    g_qtHandler = qInstallMessageHandler(ExitWithoutDisplay);
}

NoDisplayExit::~NoDisplayExit()
{
    qInstallMessageHandler(g_qtHandler);
}

void SetApplicationIdentity()
{
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QCoreApplication::setApplicationVersion(ToQString(kVersion));
    QGuiApplication::setDesktopFileName(ToQString(kDesktopFileName));
}

std::optional<int> AnswerCommandLine(int argc, char** argv)
{
    if (argc <= 1)
        return std::nullopt;

    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);

    QCommandLineParser parser;
    // One dash or two, as Qt's own options are written.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QString::fromUtf8("本地 Apache、MySQL 与 PHP 的控制面板。除以下两项外不接受命令行参数。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
        QString::fromUtf8("显示这段帮助后退出。"));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")}, QString::fromUtf8("显示版本号后退出。"));
    parser.addOption(help);
    parser.addOption(version);
    AddQtOptions(parser);

    const QString program = QString::fromUtf8(kApplicationTitle);
    QString refusal;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        refusal = unknown.isEmpty()
            ? QString::fromUtf8("命令行有误（%1）。").arg(parser.errorText())
            : QString::fromUtf8("不认识的选项 %1。").arg(AsTyped(arguments, unknown.first()));
    } else if (!parser.positionalArguments().isEmpty()) {
        refusal = QString::fromUtf8("多余的参数 %1。").arg(parser.positionalArguments().first());
    }
    if (!refusal.isEmpty()) {
        Print(stderr,
            program + QString::fromUtf8("：") + refusal
                + QString::fromUtf8("只接受 --help 与 --version。\n"));
        return 2;
    }

    if (parser.isSet(version)) {
        Print(stdout, program + QLatin1Char(' ') + ToQString(kVersion) + QLatin1Char('\n'));
        return 0;
    }
    if (parser.isSet(help)) {
        // The usage line names the program as it was started; the parser takes that from the
        // application object, which needs no display.
        QCoreApplication application(argc, argv);
        Print(stdout, parser.helpText());
        return 0;
    }
    return std::nullopt;
}

} // namespace larkspan
