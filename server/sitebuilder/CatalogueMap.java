import java.util.List;

/** The catalogue's hand-made knowledge: where each library is placed, and who publishes it. */
final class CatalogueMap {
    record Placement(String primary, String secondary) {}

    private record Rule(String prefix, List<Placement> placements) {}

    // First matching artifact prefix wins; order from specific to general.
    private static final List<Rule> RULES = List.of(
            rule("commons-lang", p("Utilities", "Language Extensions")),
            rule("commons-io", p("Utilities", "Input and Output")),
            rule("commons-cli", p("Utilities", "Command Line")),
            rule("commons-codec", p("Data Formats", "Encoding")),
            rule("commons-collections", p("Utilities", "Collections")),
            rule("guava", p("Utilities", "Collections"), p("Utilities", "Caching")),
            rule("failureaccess", p("Utilities", "Collections")),
            rule("jackson", p("Data Formats", "JSON")),
            rule("gson", p("Data Formats", "JSON")),
            rule("jsoup", p("Data Formats", "HTML"), p("Networking", "Web Scraping")),
            rule("joda-time", p("Utilities", "Date and Time")),
            rule("slf4j", p("Logging", "Facades and Bridges")),
            rule("jcl-over-slf4j", p("Logging", "Facades and Bridges")),
            rule("jul-to-slf4j", p("Logging", "Facades and Bridges")),
            rule("log4j", p("Logging", "Facades and Bridges")),
            rule("guice-servlet", p("Frameworks", "Dependency Injection"), p("Frameworks", "Web")),
            rule("guice", p("Frameworks", "Dependency Injection")),
            rule("sisu", p("Frameworks", "Dependency Injection")),
            rule("javax.inject", p("Frameworks", "Dependency Injection")),
            rule("atinject", p("Frameworks", "Dependency Injection")),
            rule("aopalliance", p("Frameworks", "Aspect-Oriented Programming")),
            rule("cdi-api", p("Frameworks", "Dependency Injection")),
            rule("geronimo-interceptor", p("Frameworks", "Aspect-Oriented Programming")),
            rule("geronimo-annotation", p("Frameworks", "Annotations")),
            rule("jsr250", p("Frameworks", "Annotations")),
            rule("jsr305", p("Development Tools", "Static Analysis")),
            rule("error", p("Development Tools", "Static Analysis")),
            rule("maven-resolver", p("Build Tools", "Dependency Resolution")),
            rule("maven", p("Build Tools", "Maven")),
            rule("wagon", p("Build Tools", "Dependency Resolution"), p("Networking", "File Transfer")),
            rule("plexus", p("Build Tools", "Maven")),
            rule("jansi", p("User Interface", "Terminal")),
            rule("java-atk-wrapper", p("User Interface", "Accessibility")),
            rule("gettext", p("Utilities", "Internationalisation")),
            rule("libintl", p("Utilities", "Internationalisation")),
            rule("junit", p("Development Tools", "Testing")),
            rule("hamcrest", p("Development Tools", "Testing")));

    private static final Placement UNSORTED = p("Libraries", "General");

    // Publishers by group prefix, for libraries whose metadata does not name one.
    private static final List<String[]> PUBLISHERS = List.of(
            new String[] {"org.apache", "The Apache Software Foundation"},
            new String[] {"commons-", "The Apache Software Foundation"},
            new String[] {"com.google", "Google"},
            new String[] {"org.slf4j", "QOS.ch"},
            new String[] {"org.codehaus.plexus", "The Codehaus Plexus Project"},
            new String[] {"org.sonatype", "Sonatype"},
            new String[] {"org.eclipse", "The Eclipse Foundation"},
            new String[] {"org.fusesource", "FuseSource"},
            new String[] {"org.jsoup", "Jonathan Hedley"},
            new String[] {"com.fasterxml", "FasterXML"},
            new String[] {"javax.inject", "The JSR-330 Expert Group"},
            new String[] {"javax.enterprise", "The CDI Expert Group"},
            new String[] {"aopalliance", "The AOP Alliance"},
            new String[] {"com.github.stephenc.jcip", "Stephen Connolly"},
            new String[] {"org.gnu", "The GNU Project"});

    private CatalogueMap() {}

    static String publisherOf(String groupId) {
        for (String[] publisher : PUBLISHERS)
            if (groupId.startsWith(publisher[0]))
                return publisher[1];
        return "";
    }

    static List<Placement> placementsOf(String artifact) {
        for (Rule rule : RULES)
            if (artifact.startsWith(rule.prefix()))
                return rule.placements();
        return List.of(UNSORTED);
    }

    private static Rule rule(String prefix, Placement... placements) {
        return new Rule(prefix, List.of(placements));
    }

    private static Placement p(String primary, String secondary) {
        return new Placement(primary, secondary);
    }
}
