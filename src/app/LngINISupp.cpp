#include "app/LngINISupp.h"

#include "app/ConstUnit.h"
#include "app/MsgINISupp.h"
#include "base/FileUtil.h"
#include "base/IniFile.h"

#include <stdexcept>

namespace {

// Writes key = value unless the value is empty or the key is already there
// (whatever it holds: an empty translation is a translation).
bool WriteIfMissing(TIniFile& ini, const std::string& section, const std::string& key,
                    const std::string& value)
{
    if (value.empty() || ini.ValueExists(section, key))
        return false;
    ini.WriteString(section, key, EncodeIniText(value));
    return true;
}

// The panel a status bar key addresses: the one character after its last
// "[" as a decimal digit, 0 when there is no "[". Anything else is the
// program's usual integer conversion error.
int PanelIndexOf(const std::string& key)
{
    const auto open = key.rfind('[');
    if (open == std::string::npos)
        return 0;
    const std::string digit = key.substr(open + 1, 1);
    if (digit.size() != 1 || digit[0] < '0' || digit[0] > '9')
        throw std::runtime_error("'" + digit + "' is not a valid integer value");
    return digit[0] - '0';
}

} // namespace

void TLngINISupp::SetLanguageFile(const std::string& path)
{
    languageFile_ = ConfigDir() + ExtractFileName(path);
}

void TLngINISupp::TranslateControl(TLngWindow& window)
{
    if (languageFile_.empty())
        SetLanguageFile("Default.lng");
    WriteMissingCaptions(window);
    ApplyCaptions(window);
}

void TLngINISupp::WriteMissingCaptions(TLngWindow& window)
{
    TIniFile ini(languageFile_);
    const std::string section = window.WindowName();
    bool changed = false;
    for (int i = 0, n = window.ControlCount(); i < n; ++i) {
        if (window.IsCaptioned(i)) {
            changed |= WriteIfMissing(ini, section, window.ControlName(i), window.Caption(i));
        } else if (window.IsStatusBar(i)) {
            const std::string bar = window.ControlName(i);
            for (int p = 0, panels = window.PanelCount(i); p < panels; ++p)
                changed |= WriteIfMissing(ini, section, bar + ".Panels[" + std::to_string(p) + "]",
                                          window.PanelText(i, p));
        }
    }
    // A file that already holds every caption is left alone, so a complete
    // read-only language file still works.
    std::string error;
    if (changed && !ini.UpdateFile(error))
        throw std::runtime_error(error);
}

void TLngINISupp::ApplyCaptions(TLngWindow& window)
{
    const TIniFile ini(languageFile_);
    const std::string windowName = window.WindowName();
    const int count = window.ControlCount();
    // Names compared as the file spells them: a section or key in other
    // letter case belongs to no window or control.
    for (const std::string& section : ini.ReadSections()) {
        if (section != windowName)
            continue;
        for (const std::string& key : ini.ReadSection(section)) {
            for (int i = 0; i < count; ++i) {
                if (window.IsCaptioned(i)) {
                    if (window.ControlName(i) == key)
                        window.SetCaption(i, DecodeIniText(ini.ReadString(section, key, "")));
                } else if (window.IsStatusBar(i)) {
                    const std::string bar = key.substr(0, key.find('.'));
                    const int panel = PanelIndexOf(key);
                    // A digit past the bar's last panel addresses nothing.
                    if (window.ControlName(i) == bar && key.find('.') != std::string::npos
                        && panel < window.PanelCount(i))
                        window.SetPanelText(i, panel, DecodeIniText(ini.ReadString(section, key, "")));
                }
            }
        }
    }
}
