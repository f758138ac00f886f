#pragma once
// Whether a fixed-layout window shows every caption whole: the windows place their controls at
// fixed sizes, so a caption wider or taller than its control is cut off on screen.
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <climits>
#include <string>
#include <vector>

namespace larkspan::test {

namespace detail {

inline std::string Describe(const QWidget* control, const QString& text, QSize needed, QSize room)
{
    return QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
        .arg(control->objectName(), text)
        .arg(needed.width())
        .arg(needed.height())
        .arg(room.width())
        .arg(room.height())
        .toStdString();
}

inline bool Fits(QSize needed, QSize room)
{
    return needed.width() <= room.width() && needed.height() <= room.height();
}

// What one line of text covers on screen: up to its last inked pixel, so that the blank part of a
// wide last glyph (a full-width colon) may fall outside the control.
inline QSize LineSize(const QFontMetrics& metrics, const QString& line)
{
    return {metrics.tightBoundingRect(line).right() + 1, metrics.size(Qt::TextSingleLine, line).height()};
}

// A label wraps its text when asked to; a word wider than the label still sticks out.
inline void CheckLabel(const QLabel* label, std::vector<std::string>& problems)
{
    if (label->text().isEmpty())
        return;
    const int margin = label->margin();
    const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    int flags = static_cast<int>(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    const QFontMetrics metrics = label->fontMetrics();
    QSize needed = metrics.boundingRect(QRect(0, 0, room.width(), INT_MAX), flags, label->text()).size();
    if (!label->text().contains(QLatin1Char('\n'))
        && needed.height() <= metrics.size(Qt::TextSingleLine, label->text()).height())
        needed = LineSize(metrics, label->text());
    if (!Fits(needed, room.size()))
        problems.push_back(Describe(label, label->text(), needed, room.size()));
}

inline void CheckButton(const QPushButton* button, std::vector<std::string>& problems)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QSize needed = LineSize(button->fontMetrics(), button->text());
    if (!Fits(needed, room.size()))
        problems.push_back(Describe(button, button->text(), needed, room.size()));
}

// The style places a frame's title inside the frame's top edge, after a margin; it must end
// before the frame does.
inline void CheckFrame(const QGroupBox* box, std::vector<std::string>& problems)
{
    if (box->title().isEmpty())
        return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    if (box->isFlat())
        option.features |= QStyleOptionFrame::Flat;
    const QRect title
        = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    if (!box->rect().contains(title))
        problems.push_back(Describe(box, box->title(), {title.right() + 1, title.bottom() + 1}, box->size()));
}

inline void CheckDropDown(const QComboBox* list, std::vector<std::string>& problems)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    option.frame = list->hasFrame();
    const QRect room
        = list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    for (int i = 0; i < list->count(); ++i) {
        const QSize needed = LineSize(list->fontMetrics(), list->itemText(i));
        if (!Fits(needed, room.size()))
            problems.push_back(Describe(list, list->itemText(i), needed, room.size()));
    }
}

} // namespace detail

/// One line for every caption of `form`'s labels, buttons, frames and drop-down entries that does
/// not fit its control in the control's own font and style; empty when all fit.
inline std::vector<std::string> CaptionsThatDoNotFit(QWidget& form)
{
    std::vector<std::string> problems;
    form.ensurePolished();
    for (QWidget* control : form.findChildren<QWidget*>()) {
        control->ensurePolished();
        if (const auto* label = qobject_cast<const QLabel*>(control))
            detail::CheckLabel(label, problems);
        else if (const auto* button = qobject_cast<const QPushButton*>(control))
            detail::CheckButton(button, problems);
        else if (const auto* box = qobject_cast<const QGroupBox*>(control))
            detail::CheckFrame(box, problems);
        else if (const auto* list = qobject_cast<const QComboBox*>(control))
            detail::CheckDropDown(list, problems);
    }
    return problems;
}

} // namespace larkspan::test
