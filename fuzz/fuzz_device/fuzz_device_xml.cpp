// The command layer's handling of XML replies ("get zregs", the advertising
// lines document) on arbitrary bytes: a parse report or the elements' texts,
// never a crash.

#include "core/device/VardoDeviceUnit.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TVardoDevice dev(0);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string report = dev.LoadXml(text);
    if (!report.empty())
        return 0;
    try {
        const pugi::xml_node root = dev.GetXmlRoot(false);
        dev.GetXmlNodeInt("status", root, false);
        dev.GetXmlNodeText("tin", root, false, false);
        for (int k = 0; k < 10; ++k)
            dev.GetXmlNodeText("ROW" + std::to_string(k), root, false, false);
        dev.GetXmlNodeInt("status", root, true);
        dev.GetXmlNodeText("name", root, true, true);
    } catch (const EccError&) {
    }
    // What was read must serialize again.
    dev.XmlText();
    return 0;
}
