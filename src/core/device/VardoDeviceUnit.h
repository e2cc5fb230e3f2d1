#pragma once
// The register's command vocabulary on top of the framed link: open a
// connection and read the identification, set the clock, change directory,
// list, read and write files, send a command line, and exchange XML documents.
//
//   TVardoDevice dev(0);
//   dev.PortNumber = 3;
//   if (!dev.OpenDevice(false)) ... dev.LastError ...
//   TLineList lines;
//   dev.GetFileContent("/sd0/db0/12", &lines);
//
// Every operation returns false on failure and never raises; LastError is
// then the failure's message, CR LF and a tag naming the operation
// ("[GetFileContent]"). LastError is cleared only by OpenDevice.
// CheckConnected and the XML helpers raise EccError instead: they are meant
// for use inside an operation's own error handling.

#include "core/base/EAbort.h"
#include "core/link/LintelCommUnit.h"

#include <pugixml.hpp>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

using TLineList = std::vector<std::string>;

// Command layer error numbers.
enum : int {
    ECC_None = 0,
    ECC_Communication = 1,
    ECC_NotConnected = 3,
    ECC_SetClock = 4,
    ECC_InvalidAnswer = 5,
    ECC_Xml = 6,
    ECC_XmlParse = 7,
    ECC_XmlCreate = 8,
    ECC_XmlHeader = 9,
    ECC_Reboot = 10,
};

// The text of an error number in a language (0 English, 1 Bulgarian in
// Windows-1251, any other: empty). Unknown numbers give the system error text.
std::string EccErrorText(int number, uint8_t language);

// The command layer's exception. Its message is the number's text and, when
// the detail is not empty, CR LF and the detail.
class EccError : public EAbort {
public:
    EccError(int number, const std::string& detail, uint8_t language);
    int Number;
};

class TVardoDevice {
public:
    explicit TVardoDevice(uint8_t language = 0);
    ~TVardoDevice();
    TVardoDevice(const TVardoDevice&) = delete;
    TVardoDevice& operator=(const TVardoDevice&) = delete;

    TLintelComm Comm;
    // None until the first successful OpenDevice.
    std::unique_ptr<pugi::xml_document> XmlDoc;
    uint8_t PortNumber = 1;
    // When not empty, this device file is opened instead of "COM" + PortNumber.
    std::string DevicePath;
    std::string DevType;
    std::string DevModel;
    std::string DevFdin;
    std::string DevFmin;
    std::string DevVersion;
    std::string LastError;
    const uint8_t Language;

    // Opens "COM" + PortNumber at 115200 bit/s, unlocks, greets with "ping 111"
    // (or "ping 222"), reads "info TYPE MOD VER FDIN FMIN", optionally sets
    // the clock, and starts an empty XML document. Closes the port on failure.
    bool OpenDevice(bool setClock);
    void CloseDevice();
    // True when the port is open, else raises EccError 3.
    bool CheckConnected();

    bool SetClock(const std::tm& time);
    bool ChangeCurrentDir(const std::string& path);
    // "ls" into list (emptied first). namesOnly keeps of each line that holds
    // a TAB only its trimmed text before the TAB.
    bool GetDirContent(TLineList* list, bool namesOnly);
    // "cat": the file's lines into list (emptied first).
    bool GetFileContent(const std::string& fileName, TLineList* list, TLinkProgressEvent progress = nullptr);
    // "put" with list's lines as the file; on return list holds the reply.
    bool SetFileContent(const std::string& fileName, TLineList* list, TLinkProgressEvent progress = nullptr);
    // "put" with data as the file's bytes; the reply is dropped.
    bool SetFileContent(const std::string& fileName, const std::string& data, TLinkProgressEvent progress = nullptr);
    // The command line as it is; list's lines are the data and become the reply.
    bool SendCommand(const std::string& commandLine, TLineList* list, TLinkProgressEvent progress = nullptr,
                     TLinkBusyEvent busy = nullptr);
    // Sends XmlDoc as the command's data (the reply time-out stays set for the
    // rest of the connection) and parses the reply into a new XmlDoc.
    bool SendXmlCommand(const std::string& command, const std::vector<std::string>& args, uint32_t replyTimeoutMs);

    // --- XML helpers (raise EccError) ---------------------------------------
    void NewXmlDocument();
    // The document element, created with the name when there is none.
    pugi::xml_node InitXmlRoot(const std::string& name);
    // The document element; an empty node when there is none and !mustExist.
    pugi::xml_node GetXmlRoot(bool mustExist);
    // The child element name of root (of the document element when root is
    // empty); an empty node when there is none and !mustExist.
    pugi::xml_node FindXmlNode(const std::string& name, pugi::xml_node root, bool mustExist);
    // The node's text content, LF as CR LF.
    std::string GetXmlNodeText(const std::string& name, pugi::xml_node root, bool nonEmpty, bool mustExist);
    // 0 when the text is no whole number and !mustExist.
    int GetXmlNodeInt(const std::string& name, pugi::xml_node root, bool mustExist);

    // Parses text into a new XmlDoc. Empty on success; else the parser's
    // report: "ParseXML fail:" reason " [Line:" l " Linepos:" c " Filepos:" p "]".
    std::string LoadXml(const std::string& text);
    // The document as it is sent: no declaration, no added white space.
    std::string XmlText() const;

private:
    // Raises EccError number, the link's LastError as detail, when a link
    // call failed.
    void LinkStep(bool linkSucceeded, int number = ECC_Communication);
};

// The parser's report for a failed parse of text: line and column counted
// from 1, derived from the parser's offset, which is given as it is (the
// position in the text, counted from 0). Also used by the fuzz target.
std::string XmlParseReport(const pugi::xml_parse_result& result, const std::string& text);
