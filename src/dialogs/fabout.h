#pragma once

#include "about_link.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace larkspan {

/// The About dialog: the program's picture, a description, the maker's notice and a link that
/// puts shortcuts to the maker's and the partner's sites on the desktop and opens the maker's.
class fabout final : public QDialog {
    Q_OBJECT
public:
    fabout(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages, QWidget* parent = nullptr);

    void Label1_Click();
    void Command1_Click();

    /// Stands in for Fixedsys: a monospace face with Chinese glyphs, at Fixedsys's 15-pixel cell
    /// height, so the description wraps as it was laid out.
    static QFont NoticeFont();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AboutLink m_link;
    QLabel* Image1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label1;
    QPushButton* Command1;
};

} // namespace larkspan
