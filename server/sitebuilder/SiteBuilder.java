import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;

/**
 * Writes the Java data of a vantrel-server site: the technologies of the running JDK. The
 * component catalogue and its lookup tables are vantrel-server --build-catalogue's, which
 * also adds their counts to site.xml.
 *
 * Usage: SiteBuilder OUT [--docs DIR]
 */
public final class SiteBuilder {
    private static final Map<String, String> TITLES = Map.ofEntries(
            Map.entry("java.base", "Core Libraries"),
            Map.entry("java.compiler", "Compiler API"),
            Map.entry("java.datatransfer", "Data Transfer"),
            Map.entry("java.desktop", "Desktop: AWT, Swing, Image I/O and Sound"),
            Map.entry("java.instrument", "Instrumentation"),
            Map.entry("java.logging", "Logging"),
            Map.entry("java.management", "Management Extensions (JMX)"),
            Map.entry("java.management.rmi", "JMX Remote API over RMI"),
            Map.entry("java.naming", "Naming and Directory (JNDI)"),
            Map.entry("java.net.http", "HTTP Client"),
            Map.entry("java.prefs", "Preferences"),
            Map.entry("java.rmi", "Remote Method Invocation"),
            Map.entry("java.scripting", "Scripting"),
            Map.entry("java.security.jgss", "Security: GSS-API"),
            Map.entry("java.security.sasl", "Security: SASL"),
            Map.entry("java.smartcardio", "Smart Card I/O"),
            Map.entry("java.sql", "Database Access (JDBC)"),
            Map.entry("java.sql.rowset", "JDBC RowSet"),
            Map.entry("java.transaction.xa", "Distributed Transactions (XA)"),
            Map.entry("java.xml", "XML Processing (JAXP)"),
            Map.entry("java.xml.crypto", "XML Digital Signatures"));

    private SiteBuilder() {}

    public static void main(String[] args) throws Exception {
        if (args.length < 1) {
            System.err.println("usage: SiteBuilder OUT [--docs DIR]");
            System.exit(2);
        }
        Path out = Path.of(args[0]);
        int feature = Runtime.version().feature();
        Path docs = Path.of("/usr/share/doc/openjdk-" + feature + "-jre-headless/api");
        for (int i = 1; i < args.length; ++i) {
            if (i + 1 >= args.length) {
                System.err.println("SiteBuilder: " + args[i] + " needs a value");
                System.exit(2);
            }
            switch (args[i]) {
            case "--docs" -> docs = Path.of(args[++i]);
            default -> {
                System.err.println("SiteBuilder: unknown option " + args[i]);
                System.exit(2);
            }
            }
        }
        long start = System.nanoTime();
        List<JdkReader.Technology> technologies = new JdkReader().read();
        int[] counts = writeJava(out, technologies, docs);
        writeSiteInfo(out, technologies.size(), counts);
        System.out.printf(Locale.ROOT, "site data: %d technologies, %d packages, %d classes, %d methods (%.1f s)%n",
                technologies.size(), counts[0], counts[1], counts[2], (System.nanoTime() - start) / 1e9);
    }

    private static int[] writeJava(Path out, List<JdkReader.Technology> technologies, Path docs) throws IOException {
        int packages = 0, classes = 0, methods = 0;
        try (XmlWriter index = new XmlWriter(out.resolve("public/data/java/index.xml"))) {
            index.start("javatab").attr("jdk", Runtime.version().toString());
            for (JdkReader.Technology technology : technologies) {
                String module = technology.module();
                String docroot = Files.isDirectory(docs.resolve(module)) ? docs.resolve(module).toUri().toString() : "";
                if (!docroot.isEmpty() && !docroot.endsWith("/"))
                    docroot += "/";
                int technologyClasses = 0;
                for (JdkReader.JavaPackage pkg : technology.packages())
                    technologyClasses += pkg.classes().size();
                index.start("technology").attr("name", module).attr("display", TITLES.getOrDefault(module, module))
                        .attr("docroot", docroot).attr("module", module).attr("classes", Integer.toString(technologyClasses));
                Path folder = out.resolve("stores/vantrel/java/data").resolve(module);
                try (XmlWriter search = new XmlWriter(folder.resolve("index.bnd"))) {
                    // Packages, classes and methods each have a list of their own, so that a search
                    // walks only the entries of its kind; methods are grouped by name.
                    search.start("index").attr("technology", module);
                    search.start("packages");
                    for (JdkReader.JavaPackage pkg : technology.packages()) {
                        ++packages;
                        index.start("package").attr("name", pkg.name()).attr("classes", Integer.toString(pkg.classes().size())).end();
                        search.start("package").attr("name", pkg.name()).attr("key", lower(pkg.name())).end();
                        writePackage(folder.resolve(pkg.name() + ".xml"), module, pkg);
                    }
                    search.end();
                    search.start("classes");
                    TreeMap<String, List<String[]>> byMethod = new TreeMap<>();
                    for (JdkReader.JavaPackage pkg : technology.packages()) {
                        for (JdkReader.JavaClass type : pkg.classes()) {
                            ++classes;
                            methods += type.methods().size();
                            writeSearchEntry(search, type);
                            for (JdkReader.Method method : type.methods())
                                byMethod.computeIfAbsent(method.name(), k -> new ArrayList<>()).add(
                                        new String[] {type.dottedName(), type.packageName(), type.kind(), method.signature()});
                        }
                    }
                    search.end();
                    search.start("methods");
                    for (Map.Entry<String, List<String[]>> entry : byMethod.entrySet()) {
                        search.start("methodname").attr("name", entry.getKey()).attr("key", lower(entry.getKey()));
                        for (String[] method : entry.getValue())
                            search.start("method").attr("class", method[0]).attr("package", method[1])
                                    .attr("kind", method[2]).attr("signature", method[3]).end();
                        search.end();
                    }
                    search.end();
                }
                index.end();
            }
        }
        return new int[] {packages, classes, methods};
    }

    // The package data: every class with its supertypes and members.
    private static void writePackage(Path file, String module, JdkReader.JavaPackage pkg) throws IOException {
        try (XmlWriter xml = new XmlWriter(file)) {
            xml.start("package").attr("name", pkg.name()).attr("technology", module);
            for (JdkReader.JavaClass type : pkg.classes()) {
                xml.start("class").attr("kind", type.kind()).attr("name", type.dottedName());
                if (type.deprecated())
                    xml.attr("deprecated", "true");
                xml.element("className", type.binaryName());
                xml.element("packageName", type.packageName());
                xml.element("modifiers", type.modifiers());
                xml.element("typeParameters", type.typeParameters());
                if (!type.superclass().isEmpty())
                    xml.element("superclass", type.superclass());
                for (String iface : type.interfaces())
                    xml.element("interface", iface);
                for (String ancestor : type.ancestors())
                    xml.element("ancestor", ancestor);
                for (JdkReader.Method constructor : type.constructors())
                    writeMethod(xml, "constructor", constructor);
                for (JdkReader.Method method : type.methods())
                    writeMethod(xml, "method", method);
                for (JdkReader.Field field : type.fields()) {
                    xml.start("field");
                    if (field.deprecated())
                        xml.attr("deprecated", "true");
                    xml.element("fieldName", field.name()).element("type", field.type())
                            .element("modifiers", field.modifiers()).end();
                }
                xml.end();
            }
        }
    }

    private static void writeMethod(XmlWriter xml, String element, JdkReader.Method method) throws IOException {
        xml.start(element);
        if (method.deprecated())
            xml.attr("deprecated", "true");
        xml.element("methodName", method.name()).element("signature", method.signature())
                .element("modifiers", method.modifiers()).element("typeParameters", method.typeParameters())
                .element("returnType", method.returnType()).element("parameters", method.parameters());
        for (String exception : method.exceptions())
            xml.element("throws", exception);
        xml.end();
    }

    // Search keys are lower case, so the search style sheets only fold the query.
    private static void writeSearchEntry(XmlWriter search, JdkReader.JavaClass type) throws IOException {
        search.start("class").attr("name", type.dottedName()).attr("package", type.packageName())
                .attr("key", lower(type.dottedName())).attr("qkey", lower(type.packageName() + "." + type.dottedName()))
                .attr("kind", type.kind());
        for (String ancestor : type.ancestors())
            search.start("extends").attr("key", lower(simpleName(ancestor))).attr("qkey", lower(ancestor)).end();
        for (String iface : type.allInterfaces())
            search.start("implements").attr("key", lower(simpleName(iface))).attr("qkey", lower(iface)).end();
        search.end();
    }

    // java.util.Map.Entry gives Map.Entry: the type names that start with a capital letter.
    private static String simpleName(String qualified) {
        String[] parts = qualified.split("\\.");
        int first = parts.length - 1;
        while (first > 0 && !parts[first - 1].isEmpty() && Character.isUpperCase(parts[first - 1].charAt(0)))
            --first;
        return String.join(".", java.util.Arrays.copyOfRange(parts, first, parts.length));
    }

    private static void writeSiteInfo(Path out, int technologies, int[] counts) throws IOException {
        try (XmlWriter xml = new XmlWriter(out.resolve("site.xml"))) {
            xml.start("site").attr("jdk", Runtime.version().toString())
                    .attr("javaVendor", System.getProperty("java.vendor", ""))
                    .attr("built", Instant.now().toString());
            xml.start("counts").attr("technologies", Integer.toString(technologies))
                    .attr("packages", Integer.toString(counts[0])).attr("classes", Integer.toString(counts[1]))
                    .attr("methods", Integer.toString(counts[2])).end();
            xml.end();
        }
    }

    private static String lower(String text) {
        return text.toLowerCase(Locale.ROOT);
    }
}
