#include "ShellTestSupport.h"

#include <thread>

#include <QTreeWidget>

#include "FlatButton.h"
#include "Messages.h"
#include "TabPage.h"
#include "support/TestSupport.h"

bool ActivatePage(CTabPage& page)
{
    PostMessage(page.GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    // The first activation runs inside the posted message; once it has reported, it is done.
    return WaitFor([&page] { return !page.IsNeverActivated(); }) &&
           WaitFor([&page] { return page.GetTree()->topLevelItemCount() > 0; }, std::chrono::milliseconds(500));
}

bool WaitForPage(CTabPage& page, const std::string& part)
{
    return WaitFor([&page, &part] {
        return page.GetLastUrl().find(part) != std::string::npos && page.GetButton(CTabPage::kRefreshId)->isEnabled();
    });
}

void CRecordingOwner::BeginBusy()
{
    ++m_busyDepth;
    m_maxBusyDepth = std::max(m_maxBusyDepth, m_busyDepth);
}

void CRecordingOwner::EndBusy()
{
    if (--m_busyDepth < 0)
        m_busyNegative = true;
}

void CRecordingOwner::ReportSelection(CTabPage&, const std::string& path)
{
    m_reports.push_back(path);
}

const char* const CPageTestServer::kJavaIndex = R"(<?xml version="1.0"?>
<javatab>
  <technology name="jdk" display="JDK 1.2" docroot="@BASE@/docs/api/">
    <package name="java.lang"/>
    <package name="java.util"/>
  </technology>
  <technology name="swing" display="Swing" docroot="">
    <package name="javax.swing"/>
  </technology>
</javatab>
)";

const char* const CPageTestServer::kMarketIndex = R"(<?xml version="1.0"?>
<marketplace>
  <category name="User Interface">
    <subcategory name="Grids"><component id="31" name="Grid Pro"/></subcategory>
  </category>
  <category name="Data Access">
    <subcategory name="JDBC Drivers">
      <component id="11" name="FastDB Driver"/>
      <component id="12" name="Pool Manager"/>
    </subcategory>
    <subcategory name="XML Tools"><component id="21" name="Parser Kit"/></subcategory>
  </category>
</marketplace>
)";

namespace
{
const std::map<std::string, std::vector<std::string>> kPackages = {
    {"java.lang", {"String", "Object", "Thread$State"}},
    {"java.util", {"Vector", "HashMap", "Map$Entry", "AbstractList"}},
    {"javax.swing", {"JButton", "JTree"}},
};

std::string PackageData(const std::string& package)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<package name=\"" + package + "\">\n";
    auto it = kPackages.find(package);
    if (it != kPackages.end()) {
        for (const std::string& name : it->second)
            xml += "  <class><className>" + name + "</className></class>\n";
    }
    return xml + "</package>\n";
}

// A documentation page in the manner of the JDK's own.
std::string ClassPage(const std::string& package, const std::string& name)
{
    return "<!DOCTYPE html><html><head><title>" + name +
           " (JDK 1.2)</title><style>"
           "body{font-family:sans-serif;margin:0;color:#222}"
           ".bar{background:#4d7a97;color:#fff;padding:6px 12px;font-size:13px}"
           ".bar b{margin-right:16px}"
           "main{padding:8px 16px}h1{font-size:22px;margin:6px 0}"
           ".pkg{color:#555;font-size:13px}"
           "table{border-collapse:collapse;width:100%;font-size:13px}"
           "th{background:#dee3e9;text-align:left;padding:4px}td{border-top:1px solid #ddd;padding:4px}"
           "code{font-family:monospace}</style></head><body>"
           "<div class=bar><b>OVERVIEW</b><b>PACKAGE</b><b>CLASS</b><b>TREE</b><b>INDEX</b></div><main>"
           "<div class=pkg>Package " + package + "</div><h1>Class " + name +
           "</h1><p>The <code>" + name +
           "</code> class implements a growable array of objects. Like an array, it contains components "
           "that can be accessed using an integer index.</p><h2>Method Summary</h2><table>"
           "<tr><th>Modifier and Type</th><th>Method</th><th>Description</th></tr>"
           "<tr><td><code>void</code></td><td><code>addElement(Object obj)</code></td>"
           "<td>Adds the specified component to the end of this vector.</td></tr>"
           "<tr><td><code>Object</code></td><td><code>elementAt(int index)</code></td>"
           "<td>Returns the component at the specified index.</td></tr>"
           "<tr><td><code>int</code></td><td><code>size()</code></td>"
           "<td>Returns the number of components in this vector.</td></tr>"
           "</table></main></body></html>";
}
}  // namespace

std::string HtmlPage(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body style=\"font-family:sans-serif\"><h1>" +
           title + "</h1>" + body + "</body></html>";
}

CPageTestServer::CPageTestServer()
{
    m_javaSearchAnswer = "<results/>";
    m_marketSearchAnswer = "<marketsearch/>";
    m_localSearchAnswer = "<components/>";
    auto answer = [this](const httplib::Request& request, httplib::Response& response) {
        Record(request);
        const std::string& path = request.path;
        auto html = [&response](const std::string& text) { response.set_content(text, "text/html"); };
        std::chrono::milliseconds delay;
        std::string javaAnswer;
        std::string marketAnswer;
        std::string localAnswer;
        {
            std::lock_guard lock(m_mutex);
            delay = m_delay;
            javaAnswer = m_javaSearchAnswer;
            marketAnswer = m_marketSearchAnswer;
            localAnswer = m_localSearchAnswer;
        }
        if (path.rfind("/xql.dll/vantrel/java/data/", 0) == 0) {
            const std::string sheet = request.get_param_value("xslsheet");
            const std::string file = path.substr(path.rfind('/') + 1);
            if (sheet.find("/search-") != std::string::npos) {
                std::this_thread::sleep_for(delay);
                response.set_content(javaAnswer, "text/xml");
            } else if (!sheet.empty()) {
                html(HtmlPage("Package " + request.get_param_value("packagename")));
            } else if (file.size() > 4 && file.ends_with(".xml")) {
                response.set_content(PackageData(file.substr(0, file.size() - 4)), "text/xml");
            } else {
                response.status = 404;
            }
        } else if (path.rfind("/docs/api/", 0) == 0 && path.ends_with(".html")) {
            std::string relative = path.substr(10, path.size() - 15);
            const size_t slash = relative.rfind('/');
            std::string package = slash == std::string::npos ? "" : relative.substr(0, slash);
            for (char& c : package)
                c = c == '/' ? '.' : c;
            html(ClassPage(package, relative.substr(slash + 1)));
        } else if (path == "/vantrel/javatab/home.jsp") {
            html(HtmlPage("Java Home"));
        } else if (path == "/vantrel/javatab/search.jsp") {
            html(HtmlPage("Java Search"));
        } else if (path.rfind("/vantrel/javatab/technology/", 0) == 0) {
            html(HtmlPage("Technology " + path.substr(28)));
        } else if (path == "/public/data/java/index.xml") {
            std::string index = kJavaIndex;
            index.replace(index.find("@BASE@"), 6, BaseUrl());
            response.set_header("Last-Modified", "Tue, 01 Feb 2000 10:00:00 GMT");
            response.set_content(index, "text/xml");
        } else if (path == "/Vantrel/markettab/session.jsp") {
            response.set_content("S42\n", "text/plain");
        } else if (path == "/vantrel/markettab/indexfile.jsp") {
            std::this_thread::sleep_for(delay);
            response.set_header("Last-Modified", "Tue, 01 Feb 2000 10:00:00 GMT");
            response.set_content(kMarketIndex, "text/xml");
        } else if (path == "/vantrel/markettab/home.jsp") {
            html(HtmlPage("Marketplace Home"));
        } else if (path == "/vantrel/markettab/search.jsp") {
            html(HtmlPage("Marketplace Search"));
        } else if (path == "/components/subcategory.jsp" || path == "/components/productlist.jsp" ||
                   path == "/components/view.jsp") {
            html(HtmlPage("Catalogue " + path.substr(12)));
        } else if (path == "/components/xmlsearchresults.jsp") {
            std::this_thread::sleep_for(delay);
            response.set_content(marketAnswer, "text/xml");
        } else if (path == "/xql.dll/components/vendors/components.bnd") {
            if (request.get_param_value("xslsheet").find("search-local.xsl") != std::string::npos) {
                std::this_thread::sleep_for(delay);
                response.set_content(localAnswer, "text/xml");
            } else {
                html(HtmlPage("Component " + request.get_param_value("scid")));
            }
        } else if (path.rfind("/vantrel/localtab/", 0) == 0) {
            html(HtmlPage("Local " + path.substr(18)));
        } else if (path.rfind("/vantrel/testtab/", 0) == 0) {
            html(HtmlPage("Testing " + path.substr(17)));
        } else if (path.rfind("/vantrel/ui/", 0) == 0) {
            html(HtmlPage("Support"));
        } else {
            response.status = 404;
        }
    };
    m_server.Server().Get(".*", answer);
    // The browser keeps connections open; one request per connection lets the server stop
    // at once instead of waiting out their keep-alive.
    m_server.Server().set_keep_alive_max_count(1);
    m_server.Start();
}

void CPageTestServer::Configure(CTestRegistry& registry)
{
    registry.UseServers(HostPort());
    std::string index = kJavaIndex;
    index.replace(index.find("@BASE@"), 6, BaseUrl());
    WriteFileText(registry.DataDir() + "/Java/index.xml", index);
}

void CPageTestServer::SetJavaSearchAnswer(const std::string& xml)
{
    std::lock_guard lock(m_mutex);
    m_javaSearchAnswer = xml;
}

void CPageTestServer::SetMarketSearchAnswer(const std::string& xml)
{
    std::lock_guard lock(m_mutex);
    m_marketSearchAnswer = xml;
}

void CPageTestServer::SetLocalSearchAnswer(const std::string& xml)
{
    std::lock_guard lock(m_mutex);
    m_localSearchAnswer = xml;
}

void CPageTestServer::SetDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_delay = delay;
}

void CPageTestServer::Record(const httplib::Request& request)
{
    std::lock_guard lock(m_mutex);
    m_targets.push_back(request.target);
}

std::vector<std::string> CPageTestServer::Targets() const
{
    std::lock_guard lock(m_mutex);
    return m_targets;
}

std::vector<std::string> CPageTestServer::TargetsContaining(const std::string& part) const
{
    std::vector<std::string> found;
    for (const std::string& target : Targets()) {
        if (target.find(part) != std::string::npos)
            found.push_back(target);
    }
    return found;
}

void CPageTestServer::ClearTargets()
{
    std::lock_guard lock(m_mutex);
    m_targets.clear();
}
