#pragma once

#include "app/service_kind.h"
#include "ui/widgets/accessibility.h"
#include "ui/widgets/form_layout.h"

#include <array>
#include <span>
#include <string_view>

namespace larkspan {

/// The main window's client area in twips.
inline constexpr int kForm1WidthTwips = 5055;
inline constexpr int kForm1HeightTwips = 4275;

/// Every control, parents before their children.
std::span<const ControlRow> Form1Controls();

/// What a screen reader says of the controls beyond their captions. The status glyphs get their
/// names from the status rules, as they change.
std::span<const SpokenRow> Form1Spoken();

/// The three popup menus `file`, `filez` and `filey`.
std::span<const MenuTable> Form1Menus();

/// The main window's controls that show one server's state (objectNames).
struct ServiceControlNames
{
    std::string_view statusLabel;
    std::string_view startButton;
    std::string_view stopButton;
    std::array<std::string_view, 2> startItems;
    std::array<std::string_view, 2> stopItems;
};

const ServiceControlNames& ControlNamesFor(ServiceKind kind);

} // namespace larkspan
