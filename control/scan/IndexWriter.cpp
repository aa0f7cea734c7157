#include "IndexWriter.h"

#include "CatalogueEntries.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "ScanResults.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "XmlDocument.h"

std::string CIndexWriter::IndexPath(bool staged)
{
    return GetDataDirectory() + "Local/components.xml" + (staged ? "_new" : "");
}

bool CIndexWriter::Write(const std::string& path, const CScanResults& results, const CCatalogueEntries& catalogue)
{
    CXmlDocument index;
    if (!index.Load(path))
        index.SetDocumentElement(index.CreateElement("components"));
    // The previous entries go; the root element and its attributes stay.
    CXmlNode root = index.GetDocumentElement();
    if (!root) {
        ReportError("cannot create the index document", "CClassPathScanThread::SaveResults");
        return false;
    }
    while (CXmlNode child = root.GetFirstChild())
        root.RemoveChild(child);

    for (const std::string& scid : results.GetOccurrences())
        for (const CXmlNode& component : catalogue.GetComponents(scid))
            root.AppendChild(component);
    for (const CFoundComponent& found : results.GetLocationComponents()) {
        for (const CXmlNode& component : catalogue.GetComponents(found.scid)) {
            CXmlNode entry = root.AppendChild(component);
            for (const CFind& find : found.finds) {
                CXmlNode place = entry.AppendChild(index.CreateElement("foundIn"));
                place.SetAttribute("path", find.path);
                place.SetAttribute("match", MatchName(find.match));
                place.SetAttribute("classes", std::to_string(find.classes));
            }
        }
    }

    sys::mkdir(DirectoryOf(path).c_str(), 0755);
    if (!index.Save(path)) {
        ReportError("cannot write " + path, "CClassPathScanThread::SaveResults");
        return false;
    }
    return true;
}
