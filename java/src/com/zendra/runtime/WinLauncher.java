package com.zendra.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;

/**
 * The class the launcher starts. Its {@code main} receives the launcher's items (GUI flag, launch
 * text, the two launch paths, launch flag, the program) followed by the application's arguments;
 * it keeps the items for {@link Launch}, starts what the launcher expects of the Java side (taking
 * single-instance hand-overs, the service stop, removing the per-run directory at the end) and
 * calls {@code main} of the class the launch text names with the application's arguments.
 */
public final class WinLauncher {
    private WinLauncher() {}

    /**
     * Starts the application.
     *
     * @param args the launcher's items and the application's arguments
     * @throws Exception what the application's main throws, or why it cannot be called
     */
    public static void main(String[] args) throws Exception {
        Launch launch = Launch.fromItems(args, System.getProperties());
        Launch.setCurrent(launch);
        // None of these may keep the application from starting.
        Guarded.run("scheduling the removal of the per-run directory",
                () -> TempDirectory.removeAtExit(launch.tempDirectory()));
        Guarded.run("watching for single-instance hand-overs", SingleInstance::startWatching);
        Guarded.run("reading the service's standard input", Service::startReading);
        String[] arguments = args.length > Launch.FIXED_ITEMS
                ? Arrays.copyOfRange(args, Launch.FIXED_ITEMS, args.length) : new String[0];
        invokeMain(launch.launchText().trim(), arguments);
    }

    private static void invokeMain(String className, String[] arguments) throws Exception {
        if (className.isEmpty()) {
            throw new IllegalArgumentException("the launch text is empty: the description names no main class");
        }
        ClassLoader loader = Thread.currentThread().getContextClassLoader();
        Class<?> mainClass;
        try {
            mainClass = Class.forName(className, false, loader != null ? loader : WinLauncher.class.getClassLoader());
        } catch (ClassNotFoundException e) {
            throw new ClassNotFoundException("the main class " + className + " is not on the class path", e);
        }
        Method main;
        try {
            main = mainClass.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw new NoSuchMethodException("the main class " + className + " has no public main(String[])");
        }
        if (!Modifier.isStatic(main.getModifiers())) {
            throw new NoSuchMethodException("main(String[]) of " + className + " is not static");
        }
        main.setAccessible(true);
        try {
            main.invoke(null, (Object) arguments);
        } catch (InvocationTargetException e) {
            throw WinLauncher.<Exception>rethrow(e.getCause());
        }
    }

    // Throws the application's own exception unchanged, whatever its type.
    @SuppressWarnings("unchecked")
    private static <T extends Throwable> T rethrow(Throwable t) throws T {
        throw (T) t;
    }
}
