#include "core/device/VardoDeviceUnit.h"

#include "core/base/CodePage.h"
#include "core/base/TextUtil.h"

#include <charconv>
#include <cstdio>
#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

const char* const kCrLf = "\r\n";
// Bytes of a text command's data per packet.
constexpr uint32_t kChunkSize = 512;

struct TEccText {
    int number;
    const char* english;
    const char* bulgarian; // UTF-8 here; handed out in the core's code page
};

const TEccText kEccTexts[] = {
    {0, "", ""},
    {1, "Device communication error.", "Грешка при комуникация с устройството."},
    {3, "Device is not connected.", "Устройството не е инициализирано."},
    {4, "Fail set device clock. Operation rejected.", "Неуспешно сверяване на часовник."},
    {5, "Invalid format of device answer.", "Невалиден отговор от устройството."},
    {6, "General XML error", "Грешка е XML"},
    {7, "Invalid data format. Error parsing XML.", "Невалиден на данните. Грешен XML."},
    {8, "Unable to create XML interface", "Неуспешна инициализация на XML интерфейса"},
    {9, "Unable to init XMLdoc header", "Неуспешна инициализация на XML хедера"},
    {10, "Unable to reboot device", "Неуспешно рестартиране на устройството"},
    {-1, "Unknown system error", "Непозната системна грешка"},
};

std::string Bulgarian(const char* utf8)
{
    return Utf8ToCodePage(utf8).value_or(std::string());
}

// The frame of every operation: whatever the body raises becomes the
// operation's failure text, tagged with the operation's name.
template <class TBody>
bool Guarded(std::string& lastError, const std::string& tag, TBody&& body)
{
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        lastError = std::string(e.what()) + kCrLf + tag;
        return false;
    }
}

void RequireFileName(const std::string& fileName)
{
    if (fileName.empty())
        throw EAbort("Invalid file name. Empty value!");
}

void RequireList(const TLineList* list)
{
    if (!list)
        throw EAbort("System Error. Container is not assigned!");
}

// The value of key in the "info" reply: the text after the first "=" of the
// first line whose name matches without regard to letter case.
std::string InfoValue(const TLineList& lines, const char* key)
{
    const std::size_t keyLength = std::char_traits<char>::length(key);
    for (const std::string& l : lines) {
        const std::size_t eq = l.find('=');
        if (eq == std::string::npos || eq != keyLength)
            continue;
        bool same = true;
        for (std::size_t i = 0; i < eq && same; ++i)
            same = std::toupper(static_cast<unsigned char>(l[i])) == key[i];
        if (same)
            return l.substr(eq + 1);
    }
    return {};
}

// The parser leaves references in text alone (it would turn "&#1046;" into
// UTF-8 inside our single-byte text); they are resolved here into the core's
// code page, "?" standing for a character the code page cannot hold.
void AppendDecoded(const char* text, std::string& out)
{
    const std::string_view s(text);
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t amp = s.find('&', i);
        out.append(s.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
        if (amp == std::string_view::npos)
            return;
        const std::size_t semi = s.find(';', amp);
        const std::string_view name =
            semi == std::string_view::npos || semi - amp > 12 ? std::string_view() : s.substr(amp + 1, semi - amp - 1);
        static const struct {
            const char* name;
            char c;
        } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
        bool done = false;
        for (const auto& n : kNamed)
            if (name == n.name) {
                out += n.c;
                done = true;
            }
        if (!done && name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            auto res = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (!digits.empty() && res.ec == std::errc() && res.ptr == digits.data() + digits.size() && cp > 0 &&
                cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
                out += Utf8ToCodePage(CodePointToUtf8(cp)).value_or("?");
                done = true;
            }
        }
        if (!done) {
            out += '&';
            i = amp + 1;
        } else {
            i = semi + 1;
        }
    }
}

// All text below a node, as a DOM's text content.
void CollectText(pugi::xml_node node, std::string& out)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata)
            AppendDecoded(child.value(), out);
        else if (child.type() == pugi::node_cdata)
            out += child.value();
        else if (child.type() == pugi::node_element)
            CollectText(child, out);
    }
}

class TStringWriter : public pugi::xml_writer {
public:
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

// Bytes pass through the parser unchanged: the register's texts are in the
// core's single-byte code page, which the parser must not reinterpret.
constexpr unsigned kParseOptions = (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_ws_pcdata;

} // namespace

std::string EccErrorText(int number, uint8_t language)
{
    if (language > 1)
        return {};
    const TEccText* entry = &kEccTexts[sizeof kEccTexts / sizeof kEccTexts[0] - 1];
    for (const TEccText& t : kEccTexts)
        if (t.number == number) {
            entry = &t;
            break;
        }
    return language == 0 ? entry->english : Bulgarian(entry->bulgarian);
}

static std::string EccMessage(int number, const std::string& detail, uint8_t language)
{
    std::string message = EccErrorText(number, language);
    if (!detail.empty())
        message += kCrLf + detail;
    return message;
}

EccError::EccError(int number, const std::string& detail, uint8_t language)
    : EAbort(EccMessage(number, detail, language)), Number(number)
{
}

std::string XmlParseReport(const pugi::xml_parse_result& result, const std::string& text)
{
    const std::size_t offset =
        result.offset < 0 ? 0 : std::min(static_cast<std::size_t>(result.offset), text.size());
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return std::string("ParseXML fail:") + result.description() + " [Line:" + std::to_string(line) +
           " Linepos:" + std::to_string(offset - lineStart + 1) + " Filepos:" + std::to_string(offset) + "]";
}

TVardoDevice::TVardoDevice(uint8_t language) : Comm(language), Language(language) {}

TVardoDevice::~TVardoDevice() = default;

// --- Connection ---------------------------------------------------------------

void TVardoDevice::LinkStep(bool linkSucceeded, int number)
{
    if (!linkSucceeded)
        throw EccError(number, Comm.LastError(), Language);
}

bool TVardoDevice::OpenDevice(bool setClock)
{
    LastError.clear();
    const bool open = Guarded(LastError, "[OpenDevice]", [&] {
        LinkStep(DevicePath.empty() ? Comm.OpenPort(PortNumber, 2) : Comm.OpenDevice(DevicePath, 2));
        Comm.Unlock();
        // The ping's reply lines travel on as the data of "info": the register
        // ignores them, and the exchange stays as the register expects it.
        TLineList lines;
        LinkStep(Comm.ExecLinesArgs("ping", {"111"}, lines, nullptr, nullptr) ||
                 Comm.ExecLinesArgs("ping", {"222"}, lines, nullptr, nullptr));
        LinkStep(Comm.ExecLinesArgs("info", {"TYPE", "MOD", "VER", "FDIN", "FMIN"}, lines, nullptr, nullptr));
        DevType = InfoValue(lines, "TYPE");
        DevModel = InfoValue(lines, "MOD");
        DevFdin = InfoValue(lines, "FDIN");
        DevVersion = InfoValue(lines, "VER");
        DevFmin = InfoValue(lines, "FMIN");
        if (setClock) {
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            if (!SetClock(local))
                throw EAbort(LastError);
        }
        NewXmlDocument();
    });
    if (!open)
        CloseDevice();
    return open;
}

void TVardoDevice::CloseDevice()
{
    for (std::string* field : {&DevType, &DevModel, &DevFdin, &DevFmin, &DevVersion})
        field->clear();
    Comm.ClosePort();
}

bool TVardoDevice::CheckConnected()
{
    if (!Comm.IsOpen())
        throw EccError(ECC_NotConnected, "", Language);
    return true;
}

// --- Operations -------------------------------------------------------------

bool TVardoDevice::SetClock(const std::tm& t)
{
    return Guarded(LastError, "[SetClock]", [&] {
        CheckConnected();
        std::string data;
        LinkStep(Comm.ExecText("ping", {"TIME"}, data, kChunkSize, nullptr, nullptr));
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d,%02d:%02d:%02d+00", (t.tm_year + 1900) % 100,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        data.clear();
        LinkStep(Comm.ExecText("set", {"TIME", stamp}, data, kChunkSize, nullptr, nullptr), ECC_SetClock);
    });
}

bool TVardoDevice::ChangeCurrentDir(const std::string& path)
{
    return Guarded(LastError, "[ChangeCurrentDir]", [&] {
        CheckConnected();
        std::string data;
        LinkStep(Comm.ExecText("cd", {path}, data, kChunkSize, nullptr, nullptr));
    });
}

bool TVardoDevice::GetDirContent(TLineList* list, bool namesOnly)
{
    return Guarded(LastError, "[GetDirContent]", [&] {
        RequireList(list);
        list->clear();
        CheckConnected();
        LinkStep(Comm.ExecLinesArgs("ls", {}, *list, nullptr, nullptr));
        if (namesOnly)
            for (std::string& line : *list) {
                const std::size_t tab = line.find('\t');
                if (tab != std::string::npos)
                    line = std::string(Trim(std::string_view(line).substr(0, tab), IsBlankOrControl));
            }
    });
}

bool TVardoDevice::GetFileContent(const std::string& fileName, TLineList* list, TLinkProgressEvent progress)
{
    return Guarded(LastError, "[GetFileContent]", [&] {
        RequireFileName(fileName);
        RequireList(list);
        list->clear();
        CheckConnected();
        LinkStep(Comm.ExecLinesArgs("cat", {fileName}, *list, std::move(progress), nullptr));
    });
}

bool TVardoDevice::SetFileContent(const std::string& fileName, TLineList* list, TLinkProgressEvent progress)
{
    return Guarded(LastError, "[SetFileContent]", [&] {
        RequireFileName(fileName);
        RequireList(list);
        CheckConnected();
        LinkStep(Comm.ExecLinesArgs("put", {fileName}, *list, std::move(progress), nullptr));
    });
}

bool TVardoDevice::SetFileContent(const std::string& fileName, const std::string& data, TLinkProgressEvent progress)
{
    return Guarded(LastError, "[SetFileContent]", [&] {
        RequireFileName(fileName);
        CheckConnected();
        std::string buffer = data;
        LinkStep(Comm.ExecText("put", {fileName}, buffer, kChunkSize, std::move(progress), nullptr));
    });
}

bool TVardoDevice::SendCommand(const std::string& commandLine, TLineList* list, TLinkProgressEvent progress,
                               TLinkBusyEvent busy)
{
    return Guarded(LastError, "[SendCommand:" + commandLine + "]", [&] {
        RequireList(list);
        if (!Comm.ExecLines(commandLine, *list, std::move(progress), std::move(busy)))
            throw EAbort(Comm.LastError());
    });
}

bool TVardoDevice::SendXmlCommand(const std::string& command, const std::vector<std::string>& args,
                                  uint32_t replyTimeoutMs)
{
    return Guarded(LastError, "[SendXmlCommand:" + command + "]", [&] {
        std::string data = XmlDoc ? XmlText() : std::string();
        Comm.SetReplyTimeout(replyTimeoutMs);
        LinkStep(Comm.ExecText(command, args, data, kChunkSize, nullptr, nullptr));
        if (data.empty()) {
            NewXmlDocument();
            return;
        }
        // A text without any element (white space, a comment) is no
        // well-formed document: the parser reports it like any other fault.
        const std::string report = LoadXml(data);
        if (!report.empty())
            throw EccError(ECC_XmlParse, report, Language);
        if (!XmlDoc->document_element())
            throw EccError(ECC_Xml, "XML document is empty", Language);
    });
}

// --- XML ------------------------------------------------------------------------

void TVardoDevice::NewXmlDocument()
{
    try {
        XmlDoc = std::make_unique<pugi::xml_document>();
    } catch (const std::exception& e) {
        throw EccError(ECC_XmlCreate, e.what(), Language);
    }
}

pugi::xml_node TVardoDevice::InitXmlRoot(const std::string& name)
{
    if (!XmlDoc)
        throw EccError(ECC_XmlHeader, "XML document does not exist.", Language);
    pugi::xml_node root = XmlDoc->document_element();
    if (!root) {
        root = XmlDoc->append_child(name.c_str());
        if (!root)
            throw EccError(ECC_XmlHeader, "Unable to create the element \"" + name + "\"", Language);
    }
    return root;
}

pugi::xml_node TVardoDevice::GetXmlRoot(bool mustExist)
{
    if (!XmlDoc) {
        if (mustExist)
            throw EccError(ECC_XmlCreate, "XML document is not assigned", Language);
        return {};
    }
    pugi::xml_node root = XmlDoc->document_element();
    if (!root && mustExist)
        throw EccError(ECC_XmlHeader, "XML document is empty", Language);
    return root;
}

pugi::xml_node TVardoDevice::FindXmlNode(const std::string& name, pugi::xml_node root, bool mustExist)
{
    if (!root)
        root = GetXmlRoot(mustExist);
    if (!root) {
        if (mustExist)
            throw EccError(ECC_Xml, "XML search root is not assigned", Language);
        return {};
    }
    pugi::xml_node node = root.child(name.c_str());
    if (!node && mustExist)
        throw EccError(ECC_Xml, "Node \"" + name + "\" does not exist in XML document", Language);
    return node;
}

std::string TVardoDevice::GetXmlNodeText(const std::string& name, pugi::xml_node root, bool nonEmpty,
                                         bool mustExist)
{
    std::string text;
    if (pugi::xml_node node = FindXmlNode(name, root, mustExist))
        CollectText(node, text);
    if (text.empty() && nonEmpty)
        throw EccError(ECC_Xml, "XML node \"" + name + "\" is empty", Language);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

int TVardoDevice::GetXmlNodeInt(const std::string& name, pugi::xml_node root, bool mustExist)
{
    const std::string text(Trim(GetXmlNodeText(name, root, false, mustExist), IsBlankOrControl));
    const char* p = text.data();
    const char* end = p + text.size();
    if (p != end && *p == '+')
        ++p;
    int value = 0;
    auto res = std::from_chars(p, end, value);
    if (p == end || res.ec != std::errc() || res.ptr != end || (p != text.data() && *p == '-')) {
        if (mustExist)
            throw EccError(ECC_Xml, "XML node \"" + name + "\" is not integer value", Language);
        return 0;
    }
    return value;
}

std::string TVardoDevice::LoadXml(const std::string& text)
{
    NewXmlDocument();
    const pugi::xml_parse_result result =
        XmlDoc->load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    return result ? std::string() : XmlParseReport(result, text);
}

std::string TVardoDevice::XmlText() const
{
    TStringWriter writer;
    if (XmlDoc)
        XmlDoc->save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return writer.text;
}
