#pragma once

#include <span>
#include <string_view>

namespace larkspan {

inline constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

/// The main window's client area in twips.
inline constexpr int kForm1WidthTwips = 5055;
inline constexpr int kForm1HeightTwips = 4275;

enum class ControlKind { Frame, Label, Button, ListBox };

/// One control of the main window. Positions are in twips within the container's client area;
/// `container` is empty for the window itself.
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
    int tabIndex;
};

/// Every control, parents before their children.
std::span<const ControlRow> Form1Controls();

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
};

/// The three popup menus `file`, `filez` and `filey`.
std::span<const MenuTable> Form1Menus();

} // namespace larkspan
