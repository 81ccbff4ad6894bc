package zt;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.Map;
import java.util.TreeMap;

/**
 * What the test classes saw, appended as UTF-8 lines to the file named by the environment
 * variable ZENDRA_TEST_RECORD, and the scenario they play (system property zt.scenario).
 */
public final class Record {
    private Record() {}

    /** Appends one line to the record file. */
    public static synchronized void line(String text) {
        String name = System.getenv("ZENDRA_TEST_RECORD");
        if (name == null) {
            throw new IllegalStateException("ZENDRA_TEST_RECORD is not set");
        }
        Path path = Paths.get(name);
        try {
            Files.write(path, (text + "\n").getBytes(StandardCharsets.UTF_8),
                        StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    /** The scenario selected for this run; "record" when none is set. */
    public static String scenario() {
        return System.getProperty("zt.scenario", "record");
    }

    /** Records the launch argument array and the system properties the launcher sets. */
    public static void launch(String who, String[] args) {
        line(who + " main: " + args.length + " args");
        for (int i = 0; i < args.length; ++i) {
            line("arg " + i + "=" + args[i]);
        }
        Map<String, String> seen = new TreeMap<>();
        for (String key : System.getProperties().stringPropertyNames()) {
            if (key.startsWith("zendra.") || key.startsWith("zt.") || key.equals("java.class.path")
                || key.equals("java.library.path") || key.equals("sun.java.command")
                || key.startsWith("sun.locale.") || key.equals("user.language") || key.equals("user.country")) {
                seen.put(key, System.getProperty(key));
            }
        }
        for (Map.Entry<String, String> e : seen.entrySet()) {
            line("prop " + e.getKey() + "=" + e.getValue());
        }
    }

    /** Plays the scenario of a launcher class's main after it recorded what it received. */
    public static void play(String who) throws InterruptedException {
        switch (scenario()) {
        case "record":
            break;
        case "exit7":
            line(who + " exits with 7");
            System.exit(7);
            break;
        case "throw":
            throw new IllegalStateException("boom from " + who);
        case "thread":
            startWorker();
            break;
        case "controller":
            awaitController();
            break;
        case "splashBusy":
            returnDuringControllerCall();
            break;
        default:
            throw new IllegalArgumentException("unknown scenario " + scenario());
        }
        line(who + " main returns");
    }

    private static void startWorker() {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(300);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            line("worker thread ends");
        }, "zt-worker");
        worker.setDaemon(false);
        worker.start();
    }

    /** Returns from main while the splash thread is inside a slow controller call; a shutdown
     *  hook (run as the VM is destroyed) tells whether that call is still running then. */
    private static void returnDuringControllerCall() throws InterruptedException {
        long deadline = System.nanoTime() + 20_000_000_000L;
        while (!com.zendra.runtime.ZendraController.busyCallBegun()) {
            if (System.nanoTime() > deadline) {
                line("controller was not asked in time");
                return;
            }
            Thread.sleep(1);
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> line(
            "at the VM's end a controller call runs: " + com.zendra.runtime.ZendraController.busyCallRunning())));
    }

    private static void awaitController() throws InterruptedException {
        long deadline = System.nanoTime() + 20_000_000_000L;
        while (!com.zendra.runtime.ZendraController.conversationDone()) {
            if (System.nanoTime() > deadline) {
                line("controller was not asked in time");
                return;
            }
            Thread.sleep(5);
        }
        for (String answer : com.zendra.runtime.ZendraController.answers()) {
            line(answer);
        }
    }
}
