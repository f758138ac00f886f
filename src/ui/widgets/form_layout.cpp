#include "ui/widgets/form_layout.h"

#include "ui/widgets/accessibility.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace larkspan {

namespace {

// A button that is not a default button ignores Enter; a keyboard user expects Enter to press the
// button that has the focus, as Space does. No Q_OBJECT: it is a QPushButton to everyone else.
class CommandButton final : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !autoDefault()
            && !isDefault()) {
            if (!event->isAutoRepeat())
                click();
            event->accept();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

QWidget* CreateControl(const ControlRow& row, QWidget* parent)
{
    const QString caption = ToQString(row.caption);
    switch (row.kind) {
    case ControlKind::Frame:
        return new QGroupBox(caption, parent);
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::Picture:
        return new QLabel(parent);
    case ControlKind::Link: {
        auto* link = new LinkLabel(caption, parent);
        link->setTextFormat(Qt::PlainText);
        link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return link;
    }
    case ControlKind::TextBox: {
        auto* text = new QLineEdit(caption, parent);
        // Text boxes have no length limit: Qt's default of 32767 would cut longer values silently.
        text->setMaxLength(std::numeric_limits<int>::max());
        return text;
    }
    case ControlKind::MultiLineText: {
        auto* text = new QPlainTextEdit(caption, parent);
        text->setTabChangesFocus(true);
        return text;
    }
    case ControlKind::DropDown: {
        auto* list = new QComboBox(parent);
        if (!caption.isEmpty())
            list->addItems(caption.split(QLatin1Char('|')));
        list->setCurrentIndex(-1);
        return list;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setSortingEnabled(false);
        return list;
    }
    case ControlKind::Button: {
        // Enter in a box must not press whichever button Qt picks as the implicit default.
        auto* button = new CommandButton(caption, parent);
        button->setAutoDefault(false);
        return button;
    }
    }
    return nullptr;
}

} // namespace

QHash<QString, QWidget*> BuildForm(QWidget* form, std::string_view caption, int clientWidthTwips,
    int clientHeightTwips, std::span<const ControlRow> rows)
{
    form->setWindowTitle(ToQString(caption));
    // The layout is fixed; resizing would only uncover empty space.
    form->setFixedSize(TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips));

    QHash<QString, QWidget*> controls;
    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const ControlRow& row : rows) {
        QWidget* parent = row.container.empty() ? form : controls.value(ToQString(row.container), form);
        QWidget* control = CreateControl(row, parent);
        control->setObjectName(ToQString(row.name));
        control->setGeometry(TwipsToPixels(row.left), TwipsToPixels(row.top), TwipsToPixels(row.width),
            TwipsToPixels(row.height));
        controls.insert(control->objectName(), control);
        if (row.tab < 0)
            control->setFocusPolicy(Qt::NoFocus);
        else if (control->focusPolicy() & Qt::TabFocus)
            focusOrder.emplace_back(row.tab, control);
    }
    std::stable_sort(
        focusOrder.begin(), focusOrder.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    return controls;
}

void BuildMenus(QWidget* owner, std::span<const MenuTable> tables)
{
    for (const MenuTable& table : tables) {
        auto* menu = new QMenu(ToQString(table.name), owner);
        menu->setObjectName(ToQString(table.name));
        menu->setAccessibleName(ToQString(table.spokenName.empty() ? table.name : table.spokenName));
        QMenu* submenu = nullptr;
        for (const MenuRow& row : table.rows) {
            QMenu* target = row.inSubmenu ? submenu : menu;
            Q_ASSERT(target);
            QAction* action = nullptr;
            switch (row.kind) {
            case MenuEntryKind::Item:
                action = target->addAction(ToQString(row.caption));
                break;
            case MenuEntryKind::Separator:
                action = target->addSeparator();
                break;
            case MenuEntryKind::Submenu:
                submenu = target->addMenu(ToQString(row.caption));
                submenu->setObjectName(ToQString(row.name));
                // An open submenu is a window of its own, named after its entry.
                submenu->setAccessibleName(submenu->title());
                action = submenu->menuAction();
                break;
            }
            action->setObjectName(ToQString(row.name));
            action->setVisible(!row.hidden);
        }
    }
}

} // namespace larkspan
