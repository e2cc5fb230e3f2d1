#pragma once
// The widget boundary of the text model: the core keeps code-page bytes,
// widgets hold QString. Every text that crosses goes through these two.

#include <QString>
#include <optional>
#include <string>

QString FromCp(const std::string& bytes);

// Nothing when the text holds a character the code page cannot represent.
std::optional<std::string> ToCp(const QString& text);
