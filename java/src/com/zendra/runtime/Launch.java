package com.zendra.runtime;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Properties;
import java.util.stream.Stream;

/**
 * What the launcher told this run: the items of the application's description that
 * {@link WinLauncher} received ahead of the arguments, and the launcher's system properties.
 * Read-only; {@link #current()} gives the view of this VM.
 *
 * <pre>{@code
 * Launch launch = Launch.current();
 * System.out.println("started as " + launch.program() + " from " + launch.executable());
 * Path data = launch.includedFile("data/defaults.xml");
 * if (launch.isService()) Service.addStopListener(server::close);
 * }</pre>
 */
public final class Launch {
    /** How many items the launcher passes ahead of the application's arguments. */
    static final int FIXED_ITEMS = 6;

    private static volatile Launch current;

    private final boolean gui;
    private final String launchText;
    private final String launchPathA;
    private final String launchPathB;
    private final boolean launchFlag;
    private final String program;
    private final Properties properties;

    private Launch(String[] items, Properties properties) {
        gui = Boolean.parseBoolean(items[0]);
        launchText = items[1];
        launchPathA = items[2];
        launchPathB = items[3];
        launchFlag = Boolean.parseBoolean(items[4]);
        program = items[5];
        this.properties = properties;
    }

    /**
     * Takes the launcher's items from the argument array of {@code WinLauncher.main}; the program
     * item is empty when the launcher passed only the five description items.
     *
     * @throws IllegalArgumentException when fewer than five items are given
     */
    static Launch fromItems(String[] arguments, Properties properties) {
        if (arguments.length < FIXED_ITEMS - 1) {
            throw new IllegalArgumentException("the launcher passes at least " + (FIXED_ITEMS - 1)
                    + " items ahead of the arguments; got " + arguments.length);
        }
        String[] items = Arrays.copyOf(arguments, FIXED_ITEMS);
        if (items[FIXED_ITEMS - 1] == null) {
            items[FIXED_ITEMS - 1] = "";
        }
        return new Launch(items, properties);
    }

    static void setCurrent(Launch launch) {
        current = launch;
    }

    /**
     * The view of this VM: what {@link WinLauncher} received, or, when the application was started
     * another way, the launcher's system properties with empty items.
     *
     * @return the launch view
     */
    public static Launch current() {
        Launch launch = current;
        if (launch != null) {
            return launch;
        }
        return fromItems(new String[] {"false", "", "", "", "false", ""}, System.getProperties());
    }

    /**
     * Keeps this run's temporary directory with the included files when the VM ends; by default
     * it is removed then.
     */
    public static void keepTempDirectory() {
        TempDirectory.keep();
    }

    /** @return whether the launcher is a windowed (GUI) executable */
    public boolean isGui() {
        return gui;
    }

    /** @return the launch text of the description: the application's main class */
    public String launchText() {
        return launchText;
    }

    /** @return the first launch path of the description, made absolute by the launcher; "" when unset */
    public String launchPathA() {
        return launchPathA;
    }

    /** @return the second launch path of the description, made absolute by the launcher; "" when unset */
    public String launchPathB() {
        return launchPathB;
    }

    /** @return the launch flag of the description */
    public boolean launchFlag() {
        return launchFlag;
    }

    /** @return the program as it was started (in a service worker: the service name) */
    public String program() {
        return program;
    }

    /** @return the full path of the launcher executable; "" when not started by a launcher */
    public String executable() {
        return properties.getProperty("zendra.moduleName", "");
    }

    /** @return whether this VM runs in the worker of a service launcher */
    public boolean isService() {
        return Boolean.parseBoolean(properties.getProperty("zendra.isService"));
    }

    /** @return whether a later start of the launcher hands its arguments to this VM */
    public boolean isSingleInstance() {
        return !handOverFile().isEmpty();
    }

    /** @return the name of the semaphore that marks this instance; "" when none */
    public String semaphoreName() {
        return properties.getProperty("zendra.semaphoreName", "");
    }

    /** @return the per-run directory holding the included files, or null when the launcher made none */
    public Path tempDirectory() {
        String dir = properties.getProperty("zendra.tempDir", "");
        return dir.isEmpty() ? null : Paths.get(dir);
    }

    /**
     * An included file by the name the description gives it ("/" and "\" both separate
     * directories).
     *
     * @param name the file's name inside the per-run directory
     * @return its path, or null when the launcher made no per-run directory
     * @throws IllegalArgumentException when name leads out of the per-run directory
     */
    public Path includedFile(String name) {
        Path dir = tempDirectory();
        if (dir == null) {
            return null;
        }
        Path root = dir.toAbsolutePath().normalize();
        Path file = root.resolve(name.replace('\\', '/')).normalize();
        if (!file.startsWith(root) || file.equals(root)) {
            throw new IllegalArgumentException("not a file inside the per-run directory: " + name);
        }
        return file;
    }

    /**
     * The files the launcher extracted for this run.
     *
     * @return their names relative to the per-run directory, "/"-separated and sorted; empty when
     *     there is no per-run directory
     * @throws IOException when the directory cannot be read
     */
    public List<String> includedFiles() throws IOException {
        Path dir = tempDirectory();
        List<String> names = new ArrayList<>();
        if (dir == null || !Files.isDirectory(dir)) {
            return names;
        }
        try (Stream<Path> files = Files.walk(dir)) {
            files.filter(Files::isRegularFile)
                 .forEach(file -> names.add(dir.relativize(file).toString().replace('\\', '/')));
        }
        Collections.sort(names);
        return names;
    }

    /** @return the console's output code page (65001 for "cp65001"), or -1 when the launcher gave none */
    public int consoleCodePage() {
        String value = properties.getProperty("zendra.consoleCodepage", "");
        if (!value.startsWith("cp")) {
            return -1;
        }
        try {
            return Integer.parseInt(value.substring(2));
        } catch (NumberFormatException e) {
            return -1;
        }
    }

    /** @return the offset in the executable behind its last included file (0: none extracted; -1: unknown) */
    public long unextractedPosition() {
        try {
            return Long.parseLong(properties.getProperty("zendra.unextractedPosition", "-1"));
        } catch (NumberFormatException e) {
            return -1;
        }
    }

    String handOverFile() {
        return properties.getProperty("zendra.processCommFile", "");
    }
}
