import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Enumeration;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.jar.Manifest;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import javax.xml.XMLConstants;
import javax.xml.parsers.DocumentBuilder;
import javax.xml.parsers.DocumentBuilderFactory;
import org.w3c.dom.Document;
import org.w3c.dom.Element;
import org.w3c.dom.Node;

/** The component catalogue: one component per library archive found on the machine. */
final class JarCatalogue {
    record Component(String scid, String name, String vendor, String version, String description, String url,
                     String artifact, String archive, List<CatalogueMap.Placement> placements,
                     TreeSet<String> packages, TreeSet<String> classes) {}

    private static final Pattern VERSIONED = Pattern.compile("(.+?)-(\\d[\\w.+~-]*)\\.jar");
    private static final Pattern VERSIONED_ENTRY = Pattern.compile("META-INF/versions/\\d+/(.+)");

    private final Map<Path, Path> pomOfJar = new HashMap<>();
    private final DocumentBuilder pomParser;

    JarCatalogue(Path mavenRepo) throws Exception {
        DocumentBuilderFactory factory = DocumentBuilderFactory.newInstance();
        factory.setFeature(XMLConstants.FEATURE_SECURE_PROCESSING, true);
        factory.setFeature("http://apache.org/xml/features/disallow-doctype-decl", true);
        factory.setExpandEntityReferences(false);
        pomParser = factory.newDocumentBuilder();
        if (Files.isDirectory(mavenRepo))
            indexMavenRepo(mavenRepo);
    }

    // The repository's version folders hold a link to the library beside its pom.
    private void indexMavenRepo(Path repo) throws IOException {
        try (Stream<Path> files = Files.walk(repo)) {
            files.filter(f -> f.toString().endsWith(".jar")).forEach(jar -> {
                String version = jar.getParent().getFileName().toString();
                if (version.equals("debian"))
                    return;
                Path pom = jar.resolveSibling(jar.getFileName().toString().replaceAll("\\.jar$", ".pom"));
                try {
                    if (Files.isRegularFile(pom))
                        pomOfJar.putIfAbsent(jar.toRealPath(), pom);
                } catch (IOException ignored) {
                    // a dangling link names no library
                }
            });
        }
    }

    List<Component> read(List<Path> folders) throws IOException {
        TreeMap<Path, Path> archives = new TreeMap<>();
        for (Path folder : folders) {
            if (!Files.isDirectory(folder))
                continue;
            try (Stream<Path> files = Files.list(folder)) {
                files.filter(f -> f.toString().endsWith(".jar")).forEach(f -> {
                    try {
                        archives.putIfAbsent(f.toRealPath(), f);
                    } catch (IOException ignored) {
                        // a dangling link names no library
                    }
                });
            }
        }
        List<Component> components = new ArrayList<>();
        Set<String> scids = new HashSet<>();
        Set<String> artifacts = new HashSet<>();
        for (Path archive : archives.keySet()) {
            Component component = readArchive(archive, scids);
            if (component != null && artifacts.add(component.artifact()))
                components.add(component);
        }
        components.sort((a, b) -> a.name().compareToIgnoreCase(b.name()));
        // Two libraries with one display name are told apart by their archives.
        Map<String, Integer> seen = new HashMap<>();
        for (Component c : components)
            seen.merge(c.name().toLowerCase(java.util.Locale.ROOT), 1, Integer::sum);
        List<Component> named = new ArrayList<>();
        for (Component c : components)
            named.add(seen.get(c.name().toLowerCase(java.util.Locale.ROOT)) > 1
                    ? new Component(c.scid(), c.name() + " (" + c.archive().replaceAll("\\.jar$", "") + ")", c.vendor(),
                            c.version(), c.description(), c.url(), c.artifact(), c.archive(), c.placements(),
                            c.packages(), c.classes())
                    : c);
        return named;
    }

    private Component readArchive(Path archive, Set<String> scids) {
        try (JarFile jar = new JarFile(archive.toFile(), false)) {
            TreeSet<String> classes = new TreeSet<>();
            TreeSet<String> packages = new TreeSet<>();
            Properties pomProperties = null;
            Element pom = null;
            for (Enumeration<? extends ZipEntry> entries = jar.entries(); entries.hasMoreElements();) {
                String entry = entries.nextElement().getName();
                if (entry.startsWith("META-INF/maven/") && entry.endsWith("/pom.properties") && pomProperties == null) {
                    pomProperties = new Properties();
                    try (InputStream in = jar.getInputStream(jar.getEntry(entry))) {
                        pomProperties.load(in);
                    }
                    ZipEntry pomEntry = jar.getEntry(entry.replace("pom.properties", "pom.xml"));
                    if (pomEntry != null)
                        try (InputStream in = jar.getInputStream(pomEntry)) {
                            pom = parsePom(in);
                        }
                }
                String name = className(entry);
                if (name != null) {
                    classes.add(name);
                    int dot = name.lastIndexOf('.');
                    if (dot > 0)
                        packages.add(name.substring(0, dot));
                }
            }
            if (classes.isEmpty())
                return null;
            Path repoPom = pomOfJar.get(archive);
            if (pom == null && repoPom != null)
                try (InputStream in = Files.newInputStream(repoPom)) {
                    pom = parsePom(in);
                }
            Manifest manifest = jar.getManifest();
            Attributes main = manifest != null ? manifest.getMainAttributes() : new Attributes();

            String fileName = archive.getFileName().toString();
            Matcher versioned = VERSIONED.matcher(fileName);
            String baseName = versioned.matches() ? versioned.group(1) : fileName.replaceAll("\\.jar$", "");
            String artifactId = first(property(pomProperties, "artifactId"), text(pom, "artifactId"), baseName);
            String groupId = first(property(pomProperties, "groupId"), text(pom, "groupId"), parentText(pom, "groupId"));
            String artifact = groupId.isEmpty() ? artifactId : groupId + ":" + artifactId;

            String version = first(property(pomProperties, "version"), repoPom != null ? repoPom.getParent().getFileName().toString() : "",
                    main.getValue("Implementation-Version"), main.getValue("Bundle-Version"),
                    versioned.matches() ? versioned.group(2) : "");
            String name = first(text(pom, "name"), main.getValue("Bundle-Name"), main.getValue("Implementation-Title"), artifactId);
            String vendor = first(organization(pom), main.getValue("Bundle-Vendor"), main.getValue("Implementation-Vendor"),
                    main.getValue("Specification-Vendor"), CatalogueMap.publisherOf(groupId.isEmpty() ? artifactId : groupId),
                    "Unknown vendor");
            String description = first(text(pom, "description"), main.getValue("Bundle-Description"),
                    name + ", a Java library (" + fileName + ").");
            String url = first(text(pom, "url"), main.getValue("Bundle-DocURL"));
            return new Component(scidFor(artifact, scids), tidy(name), tidy(vendor), version, tidy(description), url,
                    artifact, fileName, CatalogueMap.placementsOf(artifactId), packages, classes);
        } catch (Exception e) {
            System.err.println("build-site: skipped " + archive + ": " + e.getMessage());
            return null;
        }
    }

    // Top-level classes in dotted form, as the client's archive scan names them: a class of a
    // multi-release archive's META-INF/versions/N/ by its own name; nothing else below
    // META-INF/ is a class.
    static String className(String entry) {
        Matcher versioned = VERSIONED_ENTRY.matcher(entry);
        if (versioned.matches())
            entry = versioned.group(1);
        if (!entry.endsWith(".class") || entry.startsWith("META-INF/"))
            return null;
        String path = entry.substring(0, entry.length() - ".class".length());
        if (path.endsWith("module-info") || path.endsWith("package-info"))
            return null;
        int inner = path.indexOf('$');
        if (inner >= 0)
            path = path.substring(0, inner);
        return path.isEmpty() ? null : path.replace('/', '.');
    }

    // A stable seven-digit identifier from the artifact's name, so rebuilding the site keeps them.
    private static String scidFor(String artifact, Set<String> taken) {
        long hash = 0xcbf29ce484222325L;
        for (byte b : artifact.getBytes(java.nio.charset.StandardCharsets.UTF_8)) {
            hash ^= b & 0xff;
            hash *= 0x100000001b3L;
        }
        long number = 1_000_000 + Long.remainderUnsigned(hash, 9_000_000);
        while (!taken.add(Long.toString(number)))
            number = number == 9_999_999 ? 1_000_000 : number + 1;
        return Long.toString(number);
    }

    private Element parsePom(InputStream in) {
        try {
            Document document = pomParser.parse(in);
            return document.getDocumentElement();
        } catch (Exception e) {
            return null;
        }
    }

    private static String text(Element parent, String name) {
        if (parent == null)
            return "";
        for (Node child = parent.getFirstChild(); child != null; child = child.getNextSibling())
            if (child instanceof Element element && element.getTagName().equals(name)) {
                String value = element.getTextContent().trim();
                return value.contains("${") ? "" : value;
            }
        return "";
    }

    private static String parentText(Element pom, String name) {
        if (pom == null)
            return "";
        for (Node child = pom.getFirstChild(); child != null; child = child.getNextSibling())
            if (child instanceof Element element && element.getTagName().equals("parent"))
                return text(element, name);
        return "";
    }

    private static String organization(Element pom) {
        if (pom == null)
            return "";
        for (Node child = pom.getFirstChild(); child != null; child = child.getNextSibling())
            if (child instanceof Element element && element.getTagName().equals("organization"))
                return text(element, "name");
        return "";
    }

    private static String property(Properties properties, String name) {
        return properties == null ? "" : properties.getProperty(name, "").trim();
    }

    private static String first(String... values) {
        for (String value : values)
            if (value != null && !value.isBlank())
                return value.trim();
        return "";
    }

    private static String tidy(String text) {
        return text.replaceAll("\\s+", " ").trim();
    }
}
