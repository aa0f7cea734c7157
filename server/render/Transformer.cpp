#include "Transformer.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <shared_mutex>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/variables.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include "CleanText.h"
#include "FileUtil.h"
#include "StyleSheet.h"

namespace
{
std::shared_mutex g_rootsMutex;
std::multiset<std::string> g_roots;
xsltSecurityPrefsPtr g_prefs = nullptr;

constexpr size_t kMaxSheetSize = 4 * 1024 * 1024;

bool IsBelowAllowedRoot(const char* value)
{
    if (!value)
        return false;
    std::string path = value;
    if (path.rfind("file://", 0) == 0)
        path = path.substr(7);
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real))
        return false;
    std::string_view candidate = real;
    std::shared_lock lock(g_rootsMutex);
    for (const auto& root : g_roots)
        if (candidate == root ||
            (candidate.size() > root.size() && candidate.substr(0, root.size()) == root && candidate[root.size()] == '/'))
            return true;
    return false;
}

int CheckRead(xsltSecurityPrefsPtr, xsltTransformContextPtr, const char* value)
{
    return IsBelowAllowedRoot(value) ? 1 : 0;
}

// Style sheets and the documents they read come from files of the site only. Reading them
// here, not through libxml2's entity loader, keeps the server independent of whatever
// loader another part of the process installs.
xmlDocPtr LoadSiteDocument(const xmlChar* uri, xmlDictPtr dict, int options, void*, xsltLoadType)
{
    const char* text = reinterpret_cast<const char*>(uri);
    if (!text || !IsBelowAllowedRoot(text))
        return nullptr;
    std::string path = text;
    if (path.rfind("file://", 0) == 0)
        path = path.substr(7);
    std::string content;
    if (ReadWholeFile(path, content, kMaxSheetSize * 16) != CReadResult::Ok)
        return nullptr;
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        return nullptr;
    if (dict) {
        if (context->dict)
            xmlDictFree(context->dict);
        context->dict = dict;
        xmlDictReference(dict);
    }
    options = (options & ~XML_PARSE_NOENT) | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(context, content.data(), static_cast<int>(content.size()), path.c_str(), nullptr,
                                      options);
    if (doc && !context->wellFormed) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    xmlFreeParserCtxt(context);
    return doc;
}

void CollectError(void* context, const char* format, ...)
{
    auto* error = static_cast<std::string*>(context);
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (error->size() < 4096)
        *error += buffer;
}

// Messages of libxml2 and of sheet compilation go to the request of this thread, if any.
thread_local std::string* t_messages = nullptr;

void ThreadError(void*, const char* format, ...)
{
    if (!t_messages || t_messages->size() >= 4096)
        return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    *t_messages += buffer;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}
}  // namespace

void CTransformer::Init()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xsltSetLoaderFunc(LoadSiteDocument);
        // Without a debugger status libxslt renumbers every element of the source document at
        // the start of each transformation: that walk cost more than a whole search over a
        // large index, and it writes into documents other threads are reading. The site's
        // documents are numbered once when parsed (CParsedXml); no debugger is registered, so
        // the status changes nothing else.
        xsltSetDebuggerStatus(XSLT_DEBUG_RUN);
        // Messages belong to the request that caused them, not to standard error.
        xsltSetGenericErrorFunc(nullptr, ThreadError);
        xmlSetGenericErrorFunc(nullptr, ThreadError);
        xmlThrDefSetGenericErrorFunc(nullptr, ThreadError);
        g_prefs = xsltNewSecurityPrefs();
        xsltSetSecurityPrefs(g_prefs, XSLT_SECPREF_READ_FILE, CheckRead);
        xsltSetSecurityPrefs(g_prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
        xsltSetSecurityPrefs(g_prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
        xsltSetSecurityPrefs(g_prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
        xsltSetSecurityPrefs(g_prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
        // Also applies while sheets are compiled (xsl:import, xsl:include).
        xsltSetDefaultSecurityPrefs(g_prefs);
    });
}

void CTransformer::AllowReadsBelow(const std::string& root)
{
    Init();
    std::unique_lock lock(g_rootsMutex);
    g_roots.insert(root);
}

void CTransformer::ForgetReadsBelow(const std::string& root)
{
    std::unique_lock lock(g_rootsMutex);
    auto found = g_roots.find(root);
    if (found != g_roots.end())
        g_roots.erase(found);
}

xsltStylesheetPtr CTransformer::CompileFile(const std::string& path, std::string& error)
{
    Init();
    if (!IsBelowAllowedRoot(path.c_str())) {
        error = "style sheet outside the site: " + path;
        return nullptr;
    }
    std::string text;
    if (ReadWholeFile(path, text, kMaxSheetSize) != CReadResult::Ok) {
        error = "cannot read style sheet " + path;
        return nullptr;
    }
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        error = "out of memory";
        return nullptr;
    }
    // No entity substitution: a sheet never pulls in a file through its DTD.
    xmlDocPtr doc = xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), path.c_str(), nullptr,
                                      XML_PARSE_DTDATTR | XML_PARSE_NOCDATA | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                          XML_PARSE_NOWARNING);
    if (!doc || !context->wellFormed) {
        const xmlError* last = xmlCtxtGetLastError(context);
        error = "style sheet " + path + " is not well-formed: " + Trimmed(last && last->message ? last->message : "");
        if (doc)
            xmlFreeDoc(doc);
        xmlFreeParserCtxt(context);
        return nullptr;
    }
    xmlFreeParserCtxt(context);
    std::string messages;
    t_messages = &messages;
    xsltStylesheetPtr sheet = xsltParseStylesheetDoc(doc);
    t_messages = nullptr;
    if (!sheet || sheet->errors > 0) {
        error = "style sheet " + path + " does not compile: " + Trimmed(messages);
        if (sheet)
            xsltFreeStylesheet(sheet);
        else
            xmlFreeDoc(doc);
        return nullptr;
    }
    return sheet;
}

bool CTransformer::IsParameterName(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return false;
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!letter(name[0]))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.')
            return false;
    return true;
}

CTransformResult CTransformer::Apply(const CStyleSheet& sheet, xmlDocPtr doc, const CParameterList& parameters)
{
    Init();
    CTransformResult result;
    xsltStylesheetPtr style = sheet.Raw();
    xsltTransformContextPtr context = xsltNewTransformContext(style, doc);
    if (!context) {
        result.error = "cannot start the transformation";
        return result;
    }
    std::string messages;
    xsltSetTransformErrorFunc(context, &messages, CollectError);
    xsltSetCtxtSecurityPrefs(g_prefs, context);
    context->maxTemplateDepth = 1000;

    std::vector<std::string> texts;
    texts.reserve(parameters.size() * 2);
    for (const auto& [name, value] : parameters) {
        if (!IsParameterName(name))
            continue;
        texts.push_back(name);
        texts.push_back(CleanText(value));
    }
    std::vector<const char*> list;
    for (const auto& text : texts)
        list.push_back(text.c_str());
    list.push_back(nullptr);
    xsltQuoteUserParams(context, list.data());

    t_messages = &messages;
    xmlDocPtr output = xsltApplyStylesheetUser(style, doc, nullptr, nullptr, nullptr, context);
    t_messages = nullptr;
    bool failed = !output || context->state == XSLT_STATE_ERROR || context->state == XSLT_STATE_STOPPED;
    xsltFreeTransformContext(context);
    if (failed) {
        result.error = "transformation failed: " + Trimmed(messages.empty() ? "no output" : messages);
        if (output)
            xmlFreeDoc(output);
        return result;
    }

    xmlChar* text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, output, style) != 0) {
        xmlFreeDoc(output);
        result.error = "cannot write the transformation's result";
        return result;
    }
    result.body.assign(text ? reinterpret_cast<const char*>(text) : "", text ? static_cast<size_t>(length) : 0);
    xmlFree(text);

    std::string method = style->method ? reinterpret_cast<const char*>(style->method) : "";
    if (style->mediaType)
        result.mediaType = reinterpret_cast<const char*>(style->mediaType);
    else if (method == "html" || output->type == XML_HTML_DOCUMENT_NODE)
        result.mediaType = "text/html";
    else if (method == "text")
        result.mediaType = "text/plain";
    else
        result.mediaType = "text/xml";
    result.mediaType += "; charset=UTF-8";
    xmlFreeDoc(output);
    result.ok = true;
    return result;
}
