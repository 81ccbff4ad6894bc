package com.zendra.runtime;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.Arrays;

/**
 * The sample's runtime library entry: the launcher calls {@code main} with its fixed items
 * (GUI flag, launch text, two launch paths, launch flag, the program) followed by the
 * configured and the user's arguments. The launch text names the application's main class.
 */
public final class WinLauncher {
    private static final int FIXED_ITEMS = 6;

    private WinLauncher() {}

    public static void main(String[] args) throws Exception {
        if (args.length < FIXED_ITEMS) {
            throw new IllegalArgumentException("expected at least " + FIXED_ITEMS + " launcher items");
        }
        String mainClass = args[1];
        String[] applicationArgs = Arrays.copyOfRange(args, FIXED_ITEMS, args.length);
        Method main = Class.forName(mainClass).getMethod("main", String[].class);
        try {
            main.invoke(null, (Object) applicationArgs);
        } catch (InvocationTargetException e) {
            Throwable cause = e.getCause();
            if (cause instanceof Exception) {
                throw (Exception) cause;
            }
            throw (Error) cause;
        }
    }
}
