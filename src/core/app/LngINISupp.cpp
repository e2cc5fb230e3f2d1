#include "core/app/LngINISupp.h"

#include "core/app/ConstUnit.h"
#include "core/app/MsgINISupp.h"
#include "core/base/FileUtil.h"
#include "core/base/IniFile.h"

#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

// Writes key = value unless the value is empty or the key is already there
// (whatever it holds: an empty translation is a translation). A control
// without a name cannot be addressed by a key and is left out.
bool WriteIfMissing(TIniFile& ini, const std::string& section, const std::string& key,
                    const std::string& value)
{
    if (value.empty() || key.empty() || ini.ValueExists(section, key))
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

    // The translated controls once, in component order; the rest are never
    // touched.
    struct Target {
        int index;
        bool statusBar;
        std::string name;
    };
    std::vector<Target> targets;
    for (int i = 0, n = window.ControlCount(); i < n; ++i) {
        if (window.IsCaptioned(i))
            targets.push_back({i, false, window.ControlName(i)});
        else if (window.IsStatusBar(i))
            targets.push_back({i, true, window.ControlName(i)});
    }

    // Names compared as the file spells them: a section or key in other
    // letter case belongs to no window or control.
    for (const std::string& section : ini.ReadSections()) {
        if (section != windowName)
            continue;
        for (const std::string& key : ini.ReadSection(section)) {
            for (const Target& t : targets) {
                if (!t.statusBar) {
                    if (t.name == key)
                        window.SetCaption(t.index, DecodeIniText(ini.ReadString(section, key, "")));
                    continue;
                }
                const auto dot = key.find('.');
                const int panel = PanelIndexOf(key);
                // A digit past the bar's last panel addresses nothing.
                if (dot != std::string::npos && std::string_view(key).substr(0, dot) == t.name
                    && panel < window.PanelCount(t.index))
                    window.SetPanelText(t.index, panel, DecodeIniText(ini.ReadString(section, key, "")));
            }
        }
    }
}
