import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Calls the bridge's native methods the way an IDE plug-in does, from the command line:
 *
 *   java BridgeDriver [--parallel] STEP...
 *   STEP: PLUGIN launch | PLUGIN tab NAME | PLUGIN java PACKAGE CLASS METHOD | await FILE
 *   PLUGIN: forte, jbuilder, vc or other
 *
 * Strings take \\uXXXX escapes; the word <null> passes null. For each call it prints
 * "call N ok MS" or "call N threw CLASS MS", N counting calls from 1.
 */
public class BridgeDriver {
    interface Call {
        void run() throws Exception;
    }

    static String decode(String text) {
        if (text.equals("<null>")) {
            return null;
        }
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); ++i) {
            if (text.startsWith("\\u", i) && i + 6 <= text.length()) {
                out.append((char) Integer.parseInt(text.substring(i + 2, i + 6), 16));
                i += 5;
            } else {
                out.append(text.charAt(i));
            }
        }
        return out.toString();
    }

    static Call bind(String plugin, String operation, String[] a) {
        switch (plugin + " " + operation) {
        case "forte launch": return () -> new com.quorbix.ide.forte.KeshJNIBridge().launchExternal();
        case "forte tab": return () -> new com.quorbix.ide.forte.KeshJNIBridge().openDialogWindow(a[0]);
        case "forte java": return () -> new com.quorbix.ide.forte.KeshJNIBridge().openJavaTab(a[0], a[1], a[2]);
        case "jbuilder launch": return () -> new com.quorbix.ide.jbuilder.KeshJNIBridge().launchExternal();
        case "jbuilder tab": return () -> new com.quorbix.ide.jbuilder.KeshJNIBridge().openDialogWindow(a[0]);
        case "jbuilder java": return () -> new com.quorbix.ide.jbuilder.KeshJNIBridge().openJavaTab(a[0], a[1], a[2]);
        case "vc launch": return () -> new com.quorbix.ide.vc.KeshJNIBridge().launchExternal();
        case "vc tab": return () -> new com.quorbix.ide.vc.KeshJNIBridge().openDialogWindow(a[0]);
        case "vc java": return () -> new com.quorbix.ide.vc.KeshJNIBridge().openJavaTab(a[0], a[1], a[2]);
        case "other launch": return () -> new com.quorbix.ide.other.KeshJNIBridge().launchExternal();
        case "other tab": return () -> new com.quorbix.ide.other.KeshJNIBridge().openDialogWindow(a[0]);
        case "other java": return () -> new com.quorbix.ide.other.KeshJNIBridge().openJavaTab(a[0], a[1], a[2]);
        default: throw new IllegalArgumentException("unknown step " + plugin + " " + operation);
        }
    }

    static void await(Path file) throws InterruptedException {
        for (int i = 0; i < 3000 && !Files.exists(file); ++i) {
            Thread.sleep(10);
        }
    }

    static void report(int number, Call call) {
        long start = System.nanoTime();
        String result = "ok";
        try {
            call.run();
        } catch (Throwable t) {
            result = "threw " + t.getClass().getName();
        }
        long ms = (System.nanoTime() - start) / 1_000_000;
        synchronized (BridgeDriver.class) {
            System.out.println("call " + number + " " + result + " " + ms);
        }
    }

    public static void main(String[] args) throws Exception {
        System.loadLibrary("KeshBridg");
        boolean parallel = false;
        List<Call> steps = new ArrayList<>();
        List<Boolean> isCall = new ArrayList<>();
        int i = 0;
        if (i < args.length && args[i].equals("--parallel")) {
            parallel = true;
            ++i;
        }
        while (i < args.length) {
            String first = args[i++];
            if (first.equals("await")) {
                Path file = Path.of(args[i++]);
                steps.add(() -> await(file));
                isCall.add(false);
                continue;
            }
            String operation = args[i++];
            int count = operation.equals("tab") ? 1 : operation.equals("java") ? 3 : 0;
            String[] strings = new String[count];
            for (int k = 0; k < count; ++k) {
                strings[k] = decode(args[i++]);
            }
            steps.add(bind(first, operation, strings));
            isCall.add(true);
        }

        List<Thread> threads = new ArrayList<>();
        int number = 0;
        for (int k = 0; k < steps.size(); ++k) {
            Call step = steps.get(k);
            if (!isCall.get(k)) {
                step.run();
                continue;
            }
            final int n = ++number;
            if (parallel) {
                Thread thread = new Thread(() -> report(n, step));
                thread.start();
                threads.add(thread);
            } else {
                report(n, step);
            }
        }
        for (Thread thread : threads) {
            thread.join();
        }
    }
}
