#pragma once

#include <string>

namespace karrow {

// Where a step shows its modal message (an OK box in the window, stderr on the command line).
// The call returns when the user has closed the message.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

} // namespace karrow
