#pragma once

#include "ui/message_boxes.h"

class QWidget;

namespace larkspan {

/// QMessageBox with the application's title and no icon.
class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr)
        : m_parent(parent)
    { }
    void SetParent(QWidget* parent) { m_parent = parent; }
    void Inform(const std::string& text) override;
    bool Confirm(const std::string& text) override;

private:
    QWidget* Owner() const;

    QWidget* m_parent;
};

} // namespace larkspan
