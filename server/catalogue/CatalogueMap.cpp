#include "CatalogueMap.h"

#include <utility>

namespace
{
struct CRule
{
    const char* prefix;
    std::vector<CPlacement> placements;
};

// First matching artifact prefix wins; order from specific to general.
const std::vector<CRule>& Rules()
{
    static const std::vector<CRule> rules = {
        {"commons-lang", {{"Utilities", "Language Extensions"}}},
        {"commons-io", {{"Utilities", "Input and Output"}}},
        {"commons-cli", {{"Utilities", "Command Line"}}},
        {"commons-codec", {{"Data Formats", "Encoding"}}},
        {"commons-collections", {{"Utilities", "Collections"}}},
        {"guava", {{"Utilities", "Collections"}, {"Utilities", "Caching"}}},
        {"failureaccess", {{"Utilities", "Collections"}}},
        {"jackson", {{"Data Formats", "JSON"}}},
        {"gson", {{"Data Formats", "JSON"}}},
        {"jsoup", {{"Data Formats", "HTML"}, {"Networking", "Web Scraping"}}},
        {"joda-time", {{"Utilities", "Date and Time"}}},
        {"slf4j", {{"Logging", "Facades and Bridges"}}},
        {"jcl-over-slf4j", {{"Logging", "Facades and Bridges"}}},
        {"jul-to-slf4j", {{"Logging", "Facades and Bridges"}}},
        {"log4j", {{"Logging", "Facades and Bridges"}}},
        {"guice-servlet", {{"Frameworks", "Dependency Injection"}, {"Frameworks", "Web"}}},
        {"guice", {{"Frameworks", "Dependency Injection"}}},
        {"sisu", {{"Frameworks", "Dependency Injection"}}},
        {"javax.inject", {{"Frameworks", "Dependency Injection"}}},
        {"atinject", {{"Frameworks", "Dependency Injection"}}},
        {"aopalliance", {{"Frameworks", "Aspect-Oriented Programming"}}},
        {"cdi-api", {{"Frameworks", "Dependency Injection"}}},
        {"geronimo-interceptor", {{"Frameworks", "Aspect-Oriented Programming"}}},
        {"geronimo-annotation", {{"Frameworks", "Annotations"}}},
        {"jsr250", {{"Frameworks", "Annotations"}}},
        {"jsr305", {{"Development Tools", "Static Analysis"}}},
        {"error", {{"Development Tools", "Static Analysis"}}},
        {"maven-resolver", {{"Build Tools", "Dependency Resolution"}}},
        {"maven", {{"Build Tools", "Maven"}}},
        {"wagon", {{"Build Tools", "Dependency Resolution"}, {"Networking", "File Transfer"}}},
        {"plexus", {{"Build Tools", "Maven"}}},
        {"jansi", {{"User Interface", "Terminal"}}},
        {"java-atk-wrapper", {{"User Interface", "Accessibility"}}},
        {"gettext", {{"Utilities", "Internationalisation"}}},
        {"libintl", {{"Utilities", "Internationalisation"}}},
        {"junit", {{"Development Tools", "Testing"}}},
        {"hamcrest", {{"Development Tools", "Testing"}}},
    };
    return rules;
}

// Publishers by group prefix, for libraries whose metadata does not name one.
const std::pair<const char*, const char*> kPublishers[] = {
    {"org.apache", "The Apache Software Foundation"},
    {"commons-", "The Apache Software Foundation"},
    {"com.google", "Google"},
    {"org.slf4j", "QOS.ch"},
    {"org.codehaus.plexus", "The Codehaus Plexus Project"},
    {"org.sonatype", "Sonatype"},
    {"org.eclipse", "The Eclipse Foundation"},
    {"org.fusesource", "FuseSource"},
    {"org.jsoup", "Jonathan Hedley"},
    {"com.fasterxml", "FasterXML"},
    {"javax.inject", "The JSR-330 Expert Group"},
    {"javax.enterprise", "The CDI Expert Group"},
    {"aopalliance", "The AOP Alliance"},
    {"com.github.stephenc.jcip", "Stephen Connolly"},
    {"org.gnu", "The GNU Project"},
};
}  // namespace

const std::vector<CPlacement>& CCatalogueMap::PlacementsOf(const std::string& artifactId)
{
    for (const CRule& rule : Rules())
        if (artifactId.starts_with(rule.prefix))
            return rule.placements;
    static const std::vector<CPlacement> unsorted{{"Libraries", "General"}};
    return unsorted;
}

std::string CCatalogueMap::PublisherOf(const std::string& group)
{
    for (const auto& [prefix, publisher] : kPublishers)
        if (group.starts_with(prefix))
            return publisher;
    return {};
}
