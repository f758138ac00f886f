#pragma once

#include <QHash>
#include <QString>
#include <span>
#include <string_view>

class QWidget;

namespace larkspan {

/// Fixed layouts are given in twips: 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

enum class ControlKind {
    Frame, ///< QGroupBox
    Label, ///< QLabel, plain text, top-left aligned, wrapping at word boundaries
    Picture, ///< QLabel holding a pixmap
    Link, ///< LinkLabel: a label that acts as a link, reachable with Tab when it has a tab index
    TextBox, ///< QLineEdit
    MultiLineText, ///< QPlainTextEdit
    DropDown, ///< QComboBox; `caption` holds its fixed entries separated by '|'
    ListBox, ///< QListWidget, unsorted
    Button, ///< QPushButton that is never an implicit default, pressed with Space or Enter
};

/// One control of a fixed window layout. Positions are in twips within the container's client
/// area; `container` is empty for the window itself. Controls take the focus in the order of
/// `tab`; a `tab` of -1 takes none.
struct ControlRow
{
    std::string_view name;
    ControlKind kind;
    std::string_view container;
    std::string_view caption;
    int left;
    int top;
    int width;
    int height;
    int tab = -1;
};

inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// Creates the controls of `rows` on `form` (parents listed before their children, each control
/// with its name as objectName), gives the form its caption and fixed client size, and sets the
/// focus order. Returns the controls by name.
QHash<QString, QWidget*> BuildForm(QWidget* form, std::string_view caption, int clientWidthTwips,
    int clientHeightTwips, std::span<const ControlRow> rows);

enum class MenuEntryKind { Item, Separator, Submenu };

/// One entry of a popup menu, in display order. An entry with `inSubmenu` belongs to the nearest
/// Submenu entry above it.
struct MenuRow
{
    std::string_view name;
    MenuEntryKind kind;
    std::string_view caption;
    bool inSubmenu = false;
    bool hidden = false;
};

struct MenuTable
{
    std::string_view name; ///< also the menu's title
    std::span<const MenuRow> rows;
    /// What a screen reader calls the open menu; the title where empty.
    std::string_view spokenName = {};
};

/// Creates the popup menus of `tables` on `owner`, each menu, submenu and entry with its name as
/// objectName; hidden entries exist but are not shown. There is no menu bar. Entries are spoken by
/// their captions, submenus by the caption of their entry.
void BuildMenus(QWidget* owner, std::span<const MenuTable> tables);

} // namespace larkspan
