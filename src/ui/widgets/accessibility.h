#pragma once

#include <QHash>
#include <QLabel>
#include <QString>
#include <span>
#include <string_view>

class QListWidget;
class QWidget;

namespace larkspan {

/// What a screen reader says of one control of a fixed layout, beyond what Qt says by itself (a
/// button's caption, a label's text, a menu item's caption).
struct SpokenRow
{
    std::string_view control;
    /// A label in the same container that names the control: it becomes the label's buddy, which
    /// gives the name and the labelled-by relation.
    std::string_view label = {};
    /// The name, where no label says it (or says it too long-windedly).
    std::string_view name = {};
    /// What the caption or the label leaves unclear.
    std::string_view description = {};
};

/// Gives the controls of a window built by BuildForm their buddies, names and descriptions.
void DescribeControls(const QHash<QString, QWidget*>& controls, std::span<const SpokenRow> rows);

/// Presents the windows of `windowClass`, a QWidget that is a window of its own, as windows, the way
/// Qt presents a QMainWindow, instead of as a plain client area: screen readers announce a window
/// when it is activated. Call it before anything asks for the window's accessible interface.
void PresentAsWindow(const QMetaObject& windowClass);

/// Sets the accessible name of `widget` and tells assistive technology that it changed.
void SetSpokenName(QWidget* widget, const QString& name);

/// Tells assistive technology that `row` of `list` has just been added, so that it can read the
/// new line without the list having the focus.
void AnnounceNewRow(QListWidget* list, int row);

/// A label that acts as a link: it takes the focus with Tab and shows it with a focus frame, runs
/// on a click, Space or Enter, and is presented to assistive technology as a link whose
/// description says where it leads.
class LinkLabel final : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    /// What a click does; also the link's action for assistive technology.
    void Activate();

signals:
    void activated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace larkspan
