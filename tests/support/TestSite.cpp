#include "TestSite.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const char* const kIndex = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<javatab jdk="17-test">
  <technology name="core" display="Core Test" docroot="" module="core" classes="4">
    <package name="org.sample" classes="3"/>
    <package name="org.sample.util" classes="1"/>
  </technology>
</javatab>
)xml";

const char* const kSamplePackage = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<package name="org.sample" technology="core">
  <class kind="class" name="Gadget">
    <className>Gadget</className><packageName>org.sample</packageName><modifiers>public</modifiers><typeParameters/>
    <superclass>org.sample.Widget</superclass><interface>java.lang.Runnable</interface>
    <ancestor>org.sample.Widget</ancestor><ancestor>java.lang.Object</ancestor>
    <method><methodName>run</methodName><signature>()</signature><modifiers>public</modifiers><typeParameters/><returnType>void</returnType><parameters/></method>
  </class>
  <class kind="class" name="Widget">
    <className>Widget</className><packageName>org.sample</packageName><modifiers>public</modifiers><typeParameters/>
    <superclass>java.lang.Object</superclass><ancestor>java.lang.Object</ancestor>
    <constructor><methodName>Widget</methodName><signature>()</signature><modifiers>public</modifiers><typeParameters/><returnType>void</returnType><parameters/></constructor>
    <method><methodName>resize</methodName><signature>(int)</signature><modifiers>public</modifiers><typeParameters/><returnType>void</returnType><parameters>int</parameters></method>
    <method><methodName>resize</methodName><signature>(int, int)</signature><modifiers>public</modifiers><typeParameters/><returnType>void</returnType><parameters>int, int</parameters></method>
    <field><fieldName>SIZE</fieldName><type>int</type><modifiers>public static final</modifiers></field>
  </class>
  <class kind="interface" name="Widget.Part">
    <className>Widget$Part</className><packageName>org.sample</packageName><modifiers>public static abstract</modifiers><typeParameters/>
    <method><methodName>owner</methodName><signature>()</signature><modifiers>public abstract</modifiers><typeParameters/><returnType>org.sample.Widget</returnType><parameters/></method>
  </class>
</package>
)xml";

const char* const kCoreIndex = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<index technology="core">
  <packages>
    <package name="org.sample" key="org.sample"/>
    <package name="org.sample.util" key="org.sample.util"/>
  </packages>
  <classes>
    <class name="Gadget" package="org.sample" key="gadget" qkey="org.sample.gadget" kind="class">
      <extends key="widget" qkey="org.sample.widget"/><extends key="object" qkey="java.lang.object"/>
      <implements key="runnable" qkey="java.lang.runnable"/>
    </class>
    <class name="Widget" package="org.sample" key="widget" qkey="org.sample.widget" kind="class">
      <extends key="object" qkey="java.lang.object"/>
    </class>
    <class name="Widget.Part" package="org.sample" key="widget.part" qkey="org.sample.widget.part" kind="interface"/>
    <class name="Strings" package="org.sample.util" key="strings" qkey="org.sample.util.strings" kind="class">
      <extends key="object" qkey="java.lang.object"/>
    </class>
  </classes>
  <methods>
    <methodname name="owner" key="owner">
      <method class="Widget.Part" package="org.sample" kind="interface" signature="()"/>
    </methodname>
    <methodname name="resize" key="resize">
      <method class="Widget" package="org.sample" kind="class" signature="(int)"/>
      <method class="Widget" package="org.sample" kind="class" signature="(int, int)"/>
    </methodname>
    <methodname name="resizeAll" key="resizeall">
      <method class="Strings" package="org.sample.util" kind="class" signature="(java.lang.String[])"/>
    </methodname>
    <methodname name="run" key="run">
      <method class="Gadget" package="org.sample" kind="class" signature="()"/>
    </methodname>
  </methods>
</index>
)xml";

const char* const kUtilPackage = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<package name="org.sample.util" technology="core">
  <class kind="class" name="Strings">
    <className>Strings</className><packageName>org.sample.util</packageName><modifiers>public final</modifiers><typeParameters/>
    <superclass>java.lang.Object</superclass><ancestor>java.lang.Object</ancestor>
    <method><methodName>resizeAll</methodName><signature>(java.lang.String[])</signature><modifiers>public static</modifiers><typeParameters/><returnType>void</returnType><parameters>java.lang.String...</parameters></method>
  </class>
</package>
)xml";

const char* const kCatalogue = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<components>
  <component SCID="1000001">
    <componentName>Acme Parsers</componentName><vendor>Acme &amp; Sons</vendor><version>2.1</version>
    <description>Parsers for odd formats.</description><url>https://acme.example/</url>
    <artifact>com.acme:parsers</artifact><archive>acme-parsers.jar</archive><classCount>2</classCount>
    <categories>
      <category><primaryCategory>Data Formats</primaryCategory><secondaryCategory>Parsing</secondaryCategory></category>
      <category><primaryCategory>Utilities</primaryCategory><secondaryCategory>Text</secondaryCategory></category>
    </categories>
    <packages><package>com.acme.parse</package></packages>
    <versions>
      <version name="2.1" sha1="1111111111111111111111111111111111111111" sha256="2f1a7c3e9b0d45e6a8c1f2e3d4b5a6c7e8f90a1b2c3d4e5f6a7b8c9d0e1f2a3b" classCount="2">
        <licence name="Acme &amp; &lt;Sons&gt; Licence" url="https://acme.example/licence"/>
        <licence name="Script" url="javascript:alert(1)"/>
      </version>
      <version name="2.0-beta&lt;1&gt;" sha1="2222222222222222222222222222222222222222" sha256="9e8d7c6b5a4f3e2d1c0b9a8f7e6d5c4b3a2f1e0d9c8b7a6f5e4d3c2b1a0f9e8d" classCount="1" classes="0"/>
    </versions>
  </component>
  <component SCID="1000002">
    <componentName>Beta Logging</componentName><vendor>Beta Ltd</vendor><version>0.9</version>
    <description>A small logging facade.</description><url/>
    <artifact>org.beta:logging</artifact><archive>beta-logging.jar</archive><classCount>1</classCount>
    <categories>
      <category><primaryCategory>Logging</primaryCategory><secondaryCategory>Facades and Bridges</secondaryCategory></category>
    </categories>
    <packages><package>org.beta.log</package></packages>
  </component>
  <component SCID="1000003">
    <componentName>Acme Parsers Extras</componentName><vendor>Acme &amp; Sons</vendor><version>2.1</version>
    <description>More parsers.</description><url/>
    <artifact>com.acme:parsers-extras</artifact><archive>acme-extras.jar</archive><classCount>1</classCount>
    <categories>
      <category><primaryCategory>Data Formats</primaryCategory><secondaryCategory>Parsing</secondaryCategory></category>
    </categories>
    <packages><package>com.acme.parse</package></packages>
  </component>
</components>
)xml";

const char* const kLookup = "# class name, tab, SCID\n"
                            "com.acme.parse.Csv\t1000001\n"
                            "com.acme.parse.Csv\t1000003\n"
                            "com.acme.parse.Tsv\t1000001\n"
                            "org.beta.log.Log\t1000002\n";

const char* const kSiteInfo = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<site jdk="17-test" javaVendor="Test" built="2024-01-01T00:00:00Z">
  <counts technologies="2" packages="3" classes="5" methods="6" components="3" catalogedClasses="3"/>
</site>
)xml";

// The parts of a technology that AddTechnology fills in.
const char* const kTechnologyEntry =
    R"xml(  <technology name="@NAME@" display="@DISPLAY@" docroot="@DOCROOT@" module="@MODULE@" classes="1">
    <package name="@PACKAGE@" classes="1"/>
  </technology>
)xml";

const char* const kOneClassPackage = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<package name="@PACKAGE@" technology="@NAME@">
  <class kind="class" name="@CLASS@">
    <className>@CLASS@</className><packageName>@PACKAGE@</packageName><modifiers>public</modifiers>@TYPES@
    <superclass>java.lang.Object</superclass><ancestor>java.lang.Object</ancestor>@INTERFACE@
@MEMBERS@  </class>
</package>
)xml";

const char* const kOneClassIndex = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<index technology="@NAME@">
  <packages>
    <package name="@PACKAGE@" key="@package@"/>
  </packages>
  <classes>
    <class name="@CLASS@" package="@PACKAGE@" key="@class@" qkey="@package@.@class@" kind="class">
      <extends key="object" qkey="java.lang.object"/>
@IMPLEMENTS@    </class>
  </classes>
  <methods>
@METHODS@  </methods>
</index>
)xml";

const char* const kMember = "    <@KIND@><methodName>@METHOD@</methodName><signature>()</signature><modifiers>public</modifiers>"
                            "<typeParameters/><returnType>@RETURNS@</returnType><parameters/></@KIND@>\n";
const char* const kMethodEntry = "    <methodname name=\"@METHOD@\" key=\"@method@\">\n"
                                 "      <method class=\"@CLASS@\" package=\"@PACKAGE@\" kind=\"class\" signature=\"()\"/>\n"
                                 "    </methodname>\n";

const CTestTechnology kExtra = {.name = "extra", .display = "Extra Test", .docroot = "file:///docs/extra/",
                                .module = "extra", .package = "org.extra", .className = "Widget",
                                .implements = "java.lang.Runnable", .methods = {{"run", "void"}}};

std::string SourceTemplate() { return std::string(CORVANE_SERVER_SOURCE) + "/site"; }

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The text with every @NAME@ of fields replaced by its value.
std::string Fill(std::string text, const std::vector<std::pair<std::string, std::string>>& fields)
{
    for (const auto& [name, value] : fields)
        for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    return text;
}
}  // namespace

CTestSite::CTestSite()
{
    std::filesystem::copy(SourceTemplate(), Root(), std::filesystem::copy_options::recursive);
    Write("site.xml", kSiteInfo);
    Write("public/data/java/index.xml", kIndex);
    Write("stores/vantrel/java/data/core/org.sample.xml", kSamplePackage);
    Write("stores/vantrel/java/data/core/org.sample.util.xml", kUtilPackage);
    Write("stores/vantrel/java/data/core/index.bnd", kCoreIndex);
    AddTechnology(kExtra);
    Write("stores/components/vendors/components.bnd", kCatalogue);
    Write("lookup/classes.txt", kLookup);
}

void CTestSite::Write(const std::string& relative, const std::string& content) const
{
    std::filesystem::path path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    WriteFileText(path.string(), content);
}

void CTestSite::AddTechnology(const CTestTechnology& t) const
{
    std::string members;
    std::string methods;
    if (t.constructor)
        members = Fill(kMember, {{"@KIND@", "constructor"}, {"@METHOD@", t.className}, {"@RETURNS@", "void"}});
    for (const auto& [name, returns] : t.methods) {
        members += Fill(kMember, {{"@KIND@", "method"}, {"@METHOD@", name}, {"@RETURNS@", returns}});
        methods += Fill(kMethodEntry, {{"@METHOD@", name}, {"@method@", Lower(name)}});
    }
    std::string interface = t.implements.substr(t.implements.rfind('.') + 1);
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"@MEMBERS@", members},
        {"@METHODS@", methods},
        {"@TYPES@", t.typeParameters.empty() ? "<typeParameters/>" : "<typeParameters>" + t.typeParameters + "</typeParameters>"},
        {"@INTERFACE@", t.implements.empty() ? "" : "<interface>" + t.implements + "</interface>"},
        {"@IMPLEMENTS@", t.implements.empty() ? "" : "      <implements key=\"" + Lower(interface) + "\" qkey=\"" +
                                                       Lower(t.implements) + "\"/>\n"},
        {"@NAME@", t.name},
        {"@DISPLAY@", t.display},
        {"@DOCROOT@", t.docroot},
        {"@MODULE@", t.module},
        {"@PACKAGE@", t.package},
        {"@package@", Lower(t.package)},
        {"@CLASS@", t.className},
        {"@class@", Lower(t.className)},
    };
    std::string index = ReadFileText(Path("public/data/java/index.xml"));
    Write("public/data/java/index.xml", index.insert(index.find("</javatab>"), Fill(kTechnologyEntry, fields)));
    Write("stores/vantrel/java/data/" + t.name + "/" + t.package + ".xml", Fill(kOneClassPackage, fields));
    Write("stores/vantrel/java/data/" + t.name + "/index.bnd", Fill(kOneClassIndex, fields));
}

size_t CRunningServer::Requests(const std::string& part) const
{
    std::string log = ReadFileText(m_logPath);
    size_t count = 0;
    for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1))
        ++count;
    return count;
}

CRunningServer::CRunningServer(const std::string& siteDir, int idleTimeoutSeconds, const std::string& stateDir,
                               const std::function<void(CServerOptions&)>& adjust)
    : CRunningServer(
          [&] {
              CServerOptions options;
              options.siteDir = siteDir;
              options.idleTimeoutSeconds = idleTimeoutSeconds;
              options.stateDir = stateDir;
              return options;
          }(),
          adjust)
{
}

CRunningServer::CRunningServer(CServerOptions options, const std::function<void(CServerOptions&)>& adjust)
    : m_stateDir(options.stateDir.empty() ? m_state.Path() : options.stateDir)
{
    options.http = {"127.0.0.1", 0};
    options.lookup = {"127.0.0.1", 0};
    options.stateDir = m_stateDir;
    m_logPath = m_state.File("access.log");
    options.accessLog = m_logPath;
    options.threads = 4;
    if (adjust)
        adjust(options);
    m_server = std::make_unique<CVantrelServer>(options);
    std::string error;
    if (!m_server->Start(error))
        throw std::runtime_error("vantrel-server did not start: " + error);
}

CRunningServer::~CRunningServer() { m_server->Stop(); }

std::unique_ptr<httplib::Client> CRunningServer::Client() const
{
    auto client = std::make_unique<httplib::Client>("127.0.0.1", HttpPort());
    client->set_read_timeout(20, 0);
    // Paths go out exactly as the test wrote them, percent-encoded or hostile.
    client->set_url_encode(false);
    return client;
}

httplib::Result CRunningServer::Get(const std::string& path) const { return Client()->Get(path.c_str()); }

int ConnectLoopback(int port, const char* from)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && from) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

int ListenLoopback(int& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::string ReadSome(int socket, int waitMs)
{
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    char buffer[4096];
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0)
            break;
        pollfd entry{socket, POLLIN, 0};
        if (::poll(&entry, 1, left) <= 0)
            break;
        ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        out.append(buffer, static_cast<size_t>(got));
        if (out.back() == '\n')
            break;
    }
    return out;
}

bool PeerClosedWithin(int socket, int waitMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    char buffer[4096];
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0)
            return false;
        pollfd entry{socket, POLLIN, 0};
        if (::poll(&entry, 1, left) <= 0)
            return false;
        ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            return true;
    }
}

std::string RawExchange(int port, const std::string& request, int waitMs, const char* from)
{
    int fd = ConnectLoopback(port, from);
    if (fd < 0)
        return {};
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    char buffer[4096];
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        pollfd entry{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&entry, 1, left) <= 0)
            break;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return answer;
}
