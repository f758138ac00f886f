#pragma once

#include <QHash>
#include <QString>

#include <span>

class QWidget;

namespace larkspan {

enum class ControlKind { Frame, Label, TextBox, MultiLineText, List, Button };

/// One control of a fixed dialog layout. Positions are in twips (15 to a pixel at 96 dpi),
/// relative to the container (the form itself when `container` is empty). A List's `caption`
/// holds its fixed entries separated by '|'. Controls with a `tab` of 0 or more take the focus in
/// that order; the others take none.
struct ControlSpec {
    const char* name;
    ControlKind kind;
    const char* container;
    const char* caption;
    int left;
    int top;
    int width;
    int height;
    int tab;
};

/// Creates the controls of `layout` on `form` (each with its name as objectName), sizes the
/// form's client area and sets the focus order. Returns the controls by name.
QHash<QString, QWidget*> BuildForm(QWidget* form, const char* caption, int clientWidth, int clientHeight,
                                   std::span<const ControlSpec> layout);

/// Twips to pixels at 96 dpi.
constexpr int Pixels(int twips) { return twips / 15; }

} // namespace larkspan
