package com.zendra.runtime;

import java.io.IOException;
import java.lang.reflect.InvocationTargetException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Map;
import java.util.TreeMap;

/**
 * The launcher class of the end-to-end tests: prints every item the launcher hands to main and
 * the launcher's system properties, then acts on the application arguments in order:
 * "--exit=N" ends with System.exit(N), "--throw=TEXT" throws, "--call=CLASS" prints what the
 * static describe() of that class returns, "--read=NAME" prints a file of the per-run directory,
 * "--sleep=MS" waits and "--await-handover=SECONDS" waits for the single-instance hand-over
 * file, prints it and deletes it.
 */
public final class WinLauncher {
    private static final int FIXED_ITEMS = 6;

    private WinLauncher() {}

    public static void main(String[] args) throws Exception {
        for (int i = 0; i < args.length; i++) {
            System.out.println((i < FIXED_ITEMS ? "item " + i : "arg " + (i - FIXED_ITEMS)) + ": " + args[i]);
        }
        Map<String, String> selected = new TreeMap<>();
        for (String name : System.getProperties().stringPropertyNames()) {
            if (name.startsWith("zendra.") || name.startsWith("zt.") || name.equals("java.class.path")
                    || name.equals("java.library.path") || name.equals("java.version")) {
                selected.put(name, System.getProperty(name));
            }
        }
        for (Map.Entry<String, String> entry : selected.entrySet()) {
            System.out.println("property " + entry.getKey() + "=" + entry.getValue());
        }
        System.out.println("started");
        System.out.flush();
        for (int i = FIXED_ITEMS; i < args.length; i++) {
            act(args[i]);
        }
        System.out.println("main done");
    }

    private static void act(String argument) throws Exception {
        if (argument.startsWith("--exit=")) {
            System.out.flush();
            System.exit(Integer.parseInt(value(argument)));
        } else if (argument.startsWith("--throw=")) {
            throw new IllegalStateException(value(argument));
        } else if (argument.startsWith("--call=")) {
            call(value(argument));
        } else if (argument.startsWith("--read=")) {
            Path file = Paths.get(System.getProperty("zendra.tempDir"), value(argument));
            System.out.println("read " + value(argument) + ": " + Files.readString(file, StandardCharsets.UTF_8));
        } else if (argument.startsWith("--sleep=")) {
            Thread.sleep(Long.parseLong(value(argument)));
        } else if (argument.startsWith("--await-handover=")) {
            awaitHandOver(Long.parseLong(value(argument)));
        }
    }

    private static String value(String argument) {
        return argument.substring(argument.indexOf('=') + 1);
    }

    private static void call(String className) throws Exception {
        try {
            Object described = Class.forName(className).getMethod("describe").invoke(null);
            System.out.println("called " + className + ": " + described);
        } catch (InvocationTargetException e) {
            throw new IllegalStateException("describe() failed", e.getCause());
        }
    }

    // The second instance writes the file once the first one has none; its deletion tells the
    // second instance that the arguments arrived.
    private static void awaitHandOver(long seconds) throws IOException, InterruptedException {
        Path file = Paths.get(System.getProperty("zendra.processCommFile"));
        System.out.println("waiting for hand-over");
        System.out.flush();
        long deadline = System.nanoTime() + seconds * 1_000_000_000L;
        while (!Files.exists(file)) {
            if (System.nanoTime() > deadline) {
                System.out.println("no hand-over");
                return;
            }
            Thread.sleep(20);
        }
        // The writer may still be writing: the text is complete once it ends with a line feed.
        byte[] bytes = Files.readAllBytes(file);
        while (!new String(bytes, StandardCharsets.UTF_16LE).endsWith("\n") && System.nanoTime() < deadline) {
            Thread.sleep(20);
            bytes = Files.readAllBytes(file);
        }
        Files.delete(file);
        String text = new String(bytes, StandardCharsets.UTF_16LE);
        System.out.println("hand-over hex: " + hex(bytes));
        System.out.println("hand-over: " + text.replace("\n", "\\n"));
    }

    private static String hex(byte[] bytes) {
        StringBuilder out = new StringBuilder();
        for (byte b : bytes) {
            out.append(String.format("%02x", b & 0xff));
        }
        return out.toString();
    }
}
