#pragma once

namespace larkspan {

/// Mouse messages the notification icon reports, numbered as the Windows shell numbers them.
enum TrayMouseMessage : int {
    TrayMouseMove = 512,
    TrayLeftButtonDown = 513,
    TrayLeftButtonUp = 514,
    TrayLeftDoubleClick = 515,
    TrayRightButtonDown = 516,
    TrayRightButtonUp = 517,
    TrayMiddleButtonUp = 520,
};

enum class TrayAction {
    Nothing,
    BringForward, ///< the main window comes to the front; no menu
    BringForwardAndPopup, ///< the main window comes to the front, then the icon's menu pops up at the mouse
};

/// What a mouse message on the notification icon does: only a released left or right button acts.
constexpr TrayAction TrayActionFor(int mouseMessage)
{
    switch (mouseMessage) {
    case TrayLeftButtonUp:
        return TrayAction::BringForwardAndPopup;
    case TrayRightButtonUp:
        return TrayAction::BringForward;
    default:
        return TrayAction::Nothing;
    }
}

/// Why the main window is asked to close.
enum class CloseReason {
    UserClose, ///< the user closed the window through its frame
    ProgramEnds, ///< session end, the program closing itself, any other cause
};

enum class CloseDecision {
    Hide, ///< cancel the close and hide the window
    Minimise, ///< cancel the close and minimise: without a notification area, hiding loses the window
    CloseAndRemoveIcon, ///< let the window close and remove the icon; the program ends
};

constexpr CloseDecision CloseDecisionFor(CloseReason reason, bool notificationAreaAvailable)
{
    if (reason != CloseReason::UserClose)
        return CloseDecision::CloseAndRemoveIcon;
    return notificationAreaAvailable ? CloseDecision::Hide : CloseDecision::Minimise;
}

} // namespace larkspan
