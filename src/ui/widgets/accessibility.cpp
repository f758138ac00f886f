#include "ui/widgets/accessibility.h"

#include "ui/widgets/form_layout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QSet>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace larkspan {

namespace {

// Qt presents a label as static text; a link is a link, and says where it leads.
class LinkAccessible final : public QAccessibleWidget
{
public:
    explicit LinkAccessible(LinkLabel* link)
        : QAccessibleWidget(link, QAccessible::Link)
    { }

    QString text(QAccessible::Text kind) const override
    {
        const LinkLabel* link = static_cast<LinkLabel*>(widget());
        if (kind == QAccessible::Name)
            return link->accessibleName().isEmpty() ? link->text() : link->accessibleName();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList {pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            static_cast<LinkLabel*>(widget())->Activate();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* LinkFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()))
        return new LinkAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

QSet<QString>& WindowClasses()
{
    static QSet<QString> classes;
    return classes;
}

QAccessibleInterface* WindowFactory(const QString& className, QObject* object)
{
    if (object->isWidgetType() && WindowClasses().contains(className))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void DescribeControls(const QHash<QString, QWidget*>& controls, std::span<const SpokenRow> rows)
{
    for (const SpokenRow& row : rows) {
        QWidget* control = controls.value(ToQString(row.control));
        Q_ASSERT_X(control, "DescribeControls", row.control.data());
        if (!control)
            continue;
        if (!row.label.empty()) {
            auto* label = qobject_cast<QLabel*>(controls.value(ToQString(row.label)));
            // Qt looks for a control's label among its siblings only.
            Q_ASSERT_X(label && label->parentWidget() == control->parentWidget(), "DescribeControls",
                row.label.data());
            if (label)
                label->setBuddy(control);
        }
        if (!row.name.empty())
            control->setAccessibleName(ToQString(row.name));
        if (!row.description.empty())
            control->setAccessibleDescription(ToQString(row.description));
    }
}

void PresentAsWindow(const QMetaObject& windowClass)
{
    if (WindowClasses().isEmpty())
        QAccessible::installFactory(WindowFactory);
    WindowClasses().insert(QString::fromLatin1(windowClass.className()));
}

void SetSpokenName(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() == name)
        return;
    widget->setAccessibleName(name);
}

void AnnounceNewRow(QListWidget* list, int row)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
    QAccessibleInterface* item = view ? view->child(row) : nullptr;
    if (!item)
        return;
    // Qt's item views report new rows as a table-model change, which the Linux bridge does not pass
    // on; a created child reaches a screen reader as the list's new child.
    QAccessibleEvent created(item, QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&created);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(LinkFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::Activate()
{
    emit activated();
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            Activate();
        event->accept();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Activate();
        event->accept();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
}

} // namespace larkspan
