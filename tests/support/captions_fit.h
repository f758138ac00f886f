#pragma once
// Whether a fixed-layout window shows every caption whole: the windows place their controls at
// fixed sizes, so a caption wider or taller than its control is cut off on screen.
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <algorithm>
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

// The rows of pixels that a line of text inks, counted on the text drawn: font metrics round the ink
// outward to whole pixels on each side. A pixel counts when at least half covered: a faint row of
// smoothing cut off leaves the caption whole.
inline int InkHeight(const QFont& font, const QString& line)
{
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(line) + 2 * metrics.height(), 3 * metrics.height(),
        QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(metrics.height(), metrics.height() + metrics.ascent(), line);
    painter.end();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        if (std::any_of(row, row + image.width(), [](uchar pixel) { return pixel < 128; })) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    return top < 0 ? 0 : bottom - top + 1;
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
    // The one line is centred in the contents: what must fit is its ink, not the line's blank
    // leading (the Windows style leaves a low button's contents only a little taller than the ink).
    const QSize needed(
        LineSize(button->fontMetrics(), button->text()).width(), InkHeight(button->font(), button->text()));
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
