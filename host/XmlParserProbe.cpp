#include "XmlParserProbe.h"

#include <dlfcn.h>

#include <libxml/parser.h>
#include <libxml/xpath.h>

#include "ErrorReport.h"

namespace
{
template <typename Function>
Function* Resolve(void* library, const char* name)
{
    return reinterpret_cast<Function*>(dlsym(library, name));
}
}  // namespace

bool ProbeXmlParser(const std::string& library)
{
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        ReportError(error ? error : "cannot load", "ProbeXmlParser");
        return false;
    }
    auto* readMemory = Resolve<decltype(xmlReadMemory)>(handle, "xmlReadMemory");
    auto* freeDoc = Resolve<decltype(xmlFreeDoc)>(handle, "xmlFreeDoc");
    auto* newContext = Resolve<decltype(xmlXPathNewContext)>(handle, "xmlXPathNewContext");
    auto* freeContext = Resolve<decltype(xmlXPathFreeContext)>(handle, "xmlXPathFreeContext");
    auto* evaluate = Resolve<decltype(xmlXPathEvalExpression)>(handle, "xmlXPathEvalExpression");
    auto* freeObject = Resolve<decltype(xmlXPathFreeObject)>(handle, "xmlXPathFreeObject");
    bool usable = false;
    if (readMemory && freeDoc && newContext && freeContext && evaluate && freeObject) {
        static const char kDocument[] = "<probe><item/></probe>";
        xmlDocPtr doc = readMemory(kDocument, sizeof kDocument - 1, "probe.xml", nullptr, XML_PARSE_NONET);
        if (doc) {
            if (xmlXPathContextPtr context = newContext(doc)) {
                xmlXPathObjectPtr found = evaluate(reinterpret_cast<const xmlChar*>("/probe/item"), context);
                usable = found && found->nodesetval && found->nodesetval->nodeNr == 1;
                if (found)
                    freeObject(found);
                freeContext(context);
            }
            freeDoc(doc);
        }
    } else {
        ReportError("missing parser entry points", "ProbeXmlParser");
    }
    // A usable parser stays loaded: its global state must outlive the handle, and the
    // control loads it again at once. Anything else goes, so that it cannot stand in later.
    if (!usable)
        dlclose(handle);
    return usable;
}
