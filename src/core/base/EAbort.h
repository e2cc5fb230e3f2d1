#pragma once
// The silent-abort exception kind. An EAbort ends the current operation
// without the general error box; the layers that raise it (link, command
// layer) catch it themselves and turn it into LastError text, so it never
// crosses a layer's public boundary.

#include <stdexcept>
#include <string>

class EAbort : public std::runtime_error {
public:
    explicit EAbort(const std::string& message) : std::runtime_error(message) {}
};
