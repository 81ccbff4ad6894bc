package com.zendra.runtime;

import java.io.ByteArrayInputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Properties;

/** Unit tests of the library's rules, run as one program: exit status 1 when any check fails. */
public final class LibraryTests {
    private static int failures;

    private LibraryTests() {}

    public static void main(String[] args) throws Exception {
        splitsLikeTheLauncher();
        controllerAnswersFollowTheApplicationsRequests();
        singleInstanceListenerRules();
        handOverFileIsTakenWhenComplete();
        serviceStopLineAndListeners();
        launchViewAndIncludedFiles();
        runDirectoryRemoval();
        System.out.println(failures == 0 ? "all checks passed" : failures + " checks failed");
        System.exit(failures == 0 ? 0 : 1);
    }

    static void check(String what, Object expected, Object actual) {
        if (!expected.equals(actual)) {
            ++failures;
            System.out.println("FAILED " + what + ": expected " + expected + ", got " + actual);
        }
    }

    static void checkThrows(String what, Class<? extends Throwable> type, Runnable action) {
        try {
            action.run();
            check(what, type.getSimpleName(), "no exception");
        } catch (RuntimeException e) {
            check(what, type.getSimpleName(), e.getClass().getSimpleName());
        }
    }

    static void splitsLikeTheLauncher() {
        String[][] table = {
            {"app.exe", "app.exe"},
            {"  a  b   c  ", "a", "b", "c"},
            {""},
            {"C:\\Program Files\\x.exe", "C:\\Program", "Files\\x.exe"},
            {"\"C:\\Program Files\\x.exe\" a", "C:\\Program Files\\x.exe", "a"},
            {"a \"\" b", "a", "", "b"},
            {"a ''", "a", ""},
            {"-Dx=\"a b\"", "-Dx=a b"},
            {"\"a\"b", "a", "b"},
            {"x'a b'y z", "xa b", "y", "z"},
            {"\"it's\" 'say \"hi\"'", "it's", "say \"hi\""},
            {"'abc", "abc"},
            {"a \"b c", "a", "b c"},
            {"a\tb c\\\"d e\"", "a\tb", "c\\d e"},
            {"ünï \"日本 😀\"", "ünï", "日本 😀"},
        };
        for (String[] row : table) {
            check("split of [" + row[0] + "]", Arrays.asList(row).subList(1, row.length), CommandLine.split(row[0]));
        }
    }

    // Each step: "s:TEXT" sets the status, "h" hides, "A" asks the action, "T" takes the text.
    static void controllerAnswersFollowTheApplicationsRequests() {
        String[][] table = {
            {"A T", "0 null"},
            {"s:one A T A T", "2 one 0 null"},
            {"s:one s:two A T", "2 two"},
            {"s:one h A T", "1 null"},
            {"h s:one A A", "1 1"},
            {"s:one A T s:two A T", "2 one 2 two"},
        };
        for (String[] row : table) {
            ZendraController.reset();
            List<String> answers = new ArrayList<>();
            for (String step : row[0].split(" ")) {
                if (step.startsWith("s:")) {
                    Splash.setStatus(step.substring(2));
                } else if (step.equals("h")) {
                    Splash.hide();
                } else if (step.equals("A")) {
                    answers.add(String.valueOf(ZendraController.getAction()));
                } else {
                    answers.add(String.valueOf(ZendraController.getText()));
                }
            }
            check("controller after " + row[0], row[1], String.join(" ", answers));
        }
        check("action values", Arrays.asList(0, 1, 2),
              Arrays.asList(ZendraController.NOTHING, ZendraController.HIDE, ZendraController.NEW_TEXT));
        checkThrows("null status", NullPointerException.class, () -> Splash.setStatus(null));
        ZendraController.reset();
    }

    static void singleInstanceListenerRules() {
        SingleInstance.reset();
        List<String> calls = Collections.synchronizedList(new ArrayList<>());
        SingleInstance.deliver(new String[] {"early"});
        SingleInstance.deliver(new String[] {"early 2"});
        SingleInstance.addListener(a -> calls.add("first " + String.join("|", a)));
        SingleInstance.addListener(a -> {
            throw new IllegalStateException("a listener that fails");
        });
        SingleInstance.Listener third = a -> calls.add("third " + String.join("|", a));
        SingleInstance.addListener(third);
        SingleInstance.deliver(new String[] {"x", "y z"});
        SingleInstance.removeListener(third);
        SingleInstance.deliver(new String[] {"after"});
        check("listener calls",
              Arrays.asList("first early", "first early 2", "first x|y z", "third x|y z", "first after"), calls);

        SingleInstance.reset();
        for (int i = 0; i < SingleInstance.MAX_PENDING + 5; i++) {
            SingleInstance.deliver(new String[] {"n" + i});
        }
        List<String> kept = new ArrayList<>();
        SingleInstance.addListener(a -> kept.add(a[0]));
        check("hand-overs kept for a late listener", SingleInstance.MAX_PENDING, kept.size());
        check("the first ones are kept", "n0", kept.get(0));
        SingleInstance.reset();
    }

    static void handOverFileIsTakenWhenComplete() throws Exception {
        Path dir = Files.createTempDirectory("zendra-handover");
        Path file = dir.resolve("znd_p1.tmp");
        List<List<String>> got = new ArrayList<>();
        HandOverWatcher watcher = new HandOverWatcher(file, 10, got::add);

        // Written in two pieces: the first read sees no line feed and waits for the rest.
        Files.write(file, "alpha \"two words\" 'say \"hi\"' ".getBytes(StandardCharsets.UTF_16LE));
        Thread writer = new Thread(() -> {
            try {
                Thread.sleep(100);
                byte[] rest = "ünï\n".getBytes(StandardCharsets.UTF_16LE);
                Files.write(file, rest, java.nio.file.StandardOpenOption.APPEND);
            } catch (Exception e) {
                throw new IllegalStateException(e);
            }
        });
        writer.start();
        check("file taken", true, watcher.takeOnce());
        writer.join();
        check("arguments", Collections.singletonList(Arrays.asList("alpha", "two words", "say \"hi\"", "ünï")), got);
        check("file deleted", false, Files.exists(file));

        got.clear();
        Files.write(file, "\n".getBytes(StandardCharsets.UTF_16LE));
        watcher.takeOnce();
        check("empty hand-over", Collections.singletonList(Collections.emptyList()), got);

        got.clear();
        Path secret = Files.write(dir.resolve("secret"), "x\n".getBytes(StandardCharsets.UTF_16LE));
        Files.createSymbolicLink(file, secret);
        watcher.takeOnce();
        check("a link is removed unread", Arrays.asList(0, false, true), Arrays.asList(got.size(), Files.exists(file),
              Files.exists(secret)));
        TempDirectory.remove(dir);
    }

    static void serviceStopLineAndListeners() {
        String[][] lines = {{"0", "true"}, {"0\r", "true"}, {" 0 ", "true"}, {"1", "false"}, {"", "false"},
                            {"00", "false"}, {"stop", "false"}};
        for (String[] row : lines) {
            check("stop line [" + row[0] + "]", Boolean.valueOf(row[1]), Service.isStopLine(row[0]));
        }
        check("stop after other lines", true, Service.awaitStopLine(input("hello\n1\n0\n")));
        check("input ends without stop", false, Service.awaitStopLine(input("1\n")));

        List<String> calls = Collections.synchronizedList(new ArrayList<>());
        Runnable failing = () -> {
            throw new IllegalStateException("a stop listener that fails");
        };
        check("listeners end in time", true,
              Service.runListeners(Arrays.asList(() -> calls.add("a"), failing, () -> calls.add("b")), 5000));
        check("listeners in order", Arrays.asList("a", "b"), calls);

        Runnable hanging = () -> sleep(60_000);
        check("a hanging listener is cut", false, Service.runListeners(Collections.singletonList(hanging), 200));
        checkThrows("time-out must be positive", IllegalArgumentException.class, () -> Service.setStopTimeout(0));
    }

    static void launchViewAndIncludedFiles() {
        Properties props = new Properties();
        props.setProperty("zendra.tempDir", "/tmp/znd1.tmp_dir17");
        Launch launch = Launch.fromItems(new String[] {"true", "M", "", "", "false"}, props);
        check("five items: no program", "", launch.program());
        checkThrows("too few items", IllegalArgumentException.class, () -> Launch.fromItems(new String[1], props));
        for (String[] row : new String[][] {{"cp65001", "65001"}, {"cp", "-1"}, {"65001", "-1"}, {"cpx", "-1"}}) {
            props.setProperty("zendra.consoleCodepage", row[0]);
            check("code page of " + row[0], Integer.valueOf(row[1]), launch.consoleCodePage());
        }
        check("included file", "/tmp/znd1.tmp_dir17/lib/native.txt", launch.includedFile("lib\\native.txt").toString());
        for (String escape : new String[] {"../x", "lib/../../x", "/etc/passwd", "."}) {
            checkThrows("included file " + escape, IllegalArgumentException.class, () -> launch.includedFile(escape));
        }
        props.setProperty("zendra.tempDir", "");
        check("no per-run directory", true, launch.includedFile("a") == null);
    }

    static void runDirectoryRemoval() throws Exception {
        Path base = Files.createTempDirectory("zendra-removal");
        Path run = Files.createDirectories(base.resolve("znd123.tmp_dir1700000000").resolve("a").resolve("b"));
        Files.write(run.resolve("deep.txt"), new byte[] {1});
        Path outside = Files.write(base.resolve("outside.txt"), new byte[] {2});
        Files.createSymbolicLink(run.getParent().resolve("link"), base);
        Path dir = base.resolve("znd123.tmp_dir1700000000");
        check("only run directories", Arrays.asList(true, true, false, false),
              Arrays.asList(TempDirectory.isRunDirectory(dir), TempDirectory.isRunDirectory(Files.createDirectory(base.resolve("znd_dirLfYn3L"))),
                            TempDirectory.isRunDirectory(base), TempDirectory.isRunDirectory(Files.createDirectory(base.resolve("znd_dirx")))));
        check("removed", true, TempDirectory.remove(dir));
        check("a link's target survives", true, Files.exists(outside));
        TempDirectory.remove(base);
    }

    private static ByteArrayInputStream input(String text) {
        return new ByteArrayInputStream(text.getBytes(StandardCharsets.US_ASCII));
    }

    private static void sleep(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
