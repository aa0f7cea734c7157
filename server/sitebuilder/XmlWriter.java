import java.io.BufferedWriter;
import java.io.IOException;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayDeque;
import java.util.Deque;

/** A small streaming XML writer: indented elements, escaped text, and an atomic file swap on close. */
final class XmlWriter implements AutoCloseable {
    private final Path target;
    private final Path temp;
    private final Writer out;
    private final Deque<String> open = new ArrayDeque<>();
    private boolean tagOpen;
    private boolean hadChildren;

    XmlWriter(Path target) throws IOException {
        this.target = target;
        Files.createDirectories(target.getParent());
        this.temp = target.resolveSibling(target.getFileName() + ".tmp");
        this.out = new BufferedWriter(Files.newBufferedWriter(temp, StandardCharsets.UTF_8), 1 << 16);
        out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    }

    XmlWriter start(String name) throws IOException {
        closeStartTag(true);
        indent();
        out.write('<');
        out.write(name);
        open.push(name);
        tagOpen = true;
        hadChildren = false;
        return this;
    }

    XmlWriter attr(String name, String value) throws IOException {
        if (!tagOpen)
            throw new IllegalStateException("attribute outside a start tag");
        out.write(' ');
        out.write(name);
        out.write("=\"");
        escape(value, true);
        out.write('"');
        return this;
    }

    /** A child element that holds only text. */
    XmlWriter element(String name, String text) throws IOException {
        start(name);
        closeStartTag(false);
        escape(text, false);
        out.write("</");
        out.write(open.pop());
        out.write('>');
        hadChildren = true;
        return this;
    }

    XmlWriter end() throws IOException {
        String name = open.pop();
        if (tagOpen) {
            out.write("/>");
            tagOpen = false;
        } else {
            if (hadChildren)
                indent();
            out.write("</");
            out.write(name);
            out.write('>');
        }
        hadChildren = true;
        return this;
    }

    @Override
    public void close() throws IOException {
        while (!open.isEmpty())
            end();
        out.write('\n');
        out.close();
        Files.move(temp, target, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    }

    private void closeStartTag(boolean childElement) throws IOException {
        if (tagOpen) {
            out.write('>');
            tagOpen = false;
        }
        hadChildren = childElement || hadChildren;
    }

    private void indent() throws IOException {
        if (open.isEmpty())
            return;
        out.write('\n');
        for (int i = 0; i < open.size(); ++i)
            out.write("  ");
    }

    // Characters that XML 1.0 cannot carry (some manifests hold control characters) are dropped.
    private void escape(String text, boolean attribute) throws IOException {
        if (text == null)
            return;
        for (int i = 0; i < text.length(); ++i) {
            char c = text.charAt(i);
            switch (c) {
            case '<' -> out.write("&lt;");
            case '>' -> out.write("&gt;");
            case '&' -> out.write("&amp;");
            case '"' -> out.write(attribute ? "&quot;" : "\"");
            case '\n', '\t', '\r' -> out.write(attribute ? "&#" + (int) c + ";" : String.valueOf(c));
            default -> {
                if (c >= 0x20 && c != 0xFFFE && c != 0xFFFF)
                    out.write(c);
            }
            }
        }
    }
}
