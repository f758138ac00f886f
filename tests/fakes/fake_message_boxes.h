#pragma once

#include "ui/message_boxes.h"

#include <deque>
#include <string>
#include <vector>

namespace larkspan {

/// Records every message and answers confirmations from a script (OK when the script is empty).
class FakeMessageBoxes final : public MessageBoxes
{
public:
    void Inform(const std::string& text) override { shown.push_back(text); }
    bool Confirm(const std::string& text) override
    {
        asked.push_back(text);
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> shown;
    std::vector<std::string> asked;
    std::deque<bool> answers;
};

} // namespace larkspan
