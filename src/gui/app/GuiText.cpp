#include "gui/app/GuiText.h"

#include "core/base/CodePage.h"

QString FromCp(const std::string& bytes)
{
    return QString::fromStdString(CodePageToUtf8(bytes));
}

std::optional<std::string> ToCp(const QString& text)
{
    return Utf8ToCodePage(text.toStdString());
}
