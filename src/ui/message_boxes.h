#pragma once

#include <string>

namespace larkspan {

/// Modal message boxes with the application's title and no icon. Injected everywhere so that no
/// test ever blocks on a box.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    /// Shows `text` with an OK button and returns when the user has closed it.
    virtual void Inform(const std::string& text) = 0;
    /// Asks `text` with OK and Cancel; true only for OK.
    virtual bool Confirm(const std::string& text) = 0;
};

inline constexpr const char* kApplicationTitle = "LarkspanAdmin";

} // namespace larkspan
