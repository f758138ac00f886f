#include "form_layout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace larkspan {

namespace {

QWidget* CreateControl(const ControlSpec& spec, QWidget* parent)
{
    const QString caption = QString::fromUtf8(spec.caption ? spec.caption : "");
    switch (spec.kind) {
    case ControlKind::Frame:
        return new QGroupBox(caption, parent);
    case ControlKind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::TextBox:
        return new QLineEdit(caption, parent);
    case ControlKind::MultiLineText: {
        auto* text = new QPlainTextEdit(caption, parent);
        text->setTabChangesFocus(true);
        return text;
    }
    case ControlKind::List: {
        auto* list = new QComboBox(parent);
        if (!caption.isEmpty())
            list->addItems(caption.split(QLatin1Char('|')));
        list->setCurrentIndex(-1);
        return list;
    }
    case ControlKind::Button: {
        // Enter in a box must not press whichever button Qt picks as the implicit default.
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        return button;
    }
    }
    return nullptr;
}

} // namespace

QHash<QString, QWidget*> BuildForm(QWidget* form, const char* caption, int clientWidth, int clientHeight,
                                   std::span<const ControlSpec> layout)
{
    form->setWindowTitle(QString::fromUtf8(caption));
    form->setFixedSize(Pixels(clientWidth), Pixels(clientHeight));

    QHash<QString, QWidget*> controls;
    std::vector<const ControlSpec*> tabbed;
    for (const auto& spec : layout) {
        QWidget* parent = spec.container && *spec.container ? controls.value(QString::fromUtf8(spec.container)) : form;
        QWidget* control = CreateControl(spec, parent ? parent : form);
        control->setObjectName(QString::fromUtf8(spec.name));
        control->setGeometry(Pixels(spec.left), Pixels(spec.top), Pixels(spec.width), Pixels(spec.height));
        controls.insert(control->objectName(), control);
        if (spec.tab >= 0)
            tabbed.push_back(&spec);
        else
            control->setFocusPolicy(Qt::NoFocus);
    }
    std::stable_sort(tabbed.begin(), tabbed.end(), [](const auto* a, const auto* b) { return a->tab < b->tab; });
    for (std::size_t i = 1; i < tabbed.size(); ++i)
        QWidget::setTabOrder(controls.value(QString::fromUtf8(tabbed[i - 1]->name)),
                             controls.value(QString::fromUtf8(tabbed[i]->name)));
    return controls;
}

} // namespace larkspan
