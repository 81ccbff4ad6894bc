package com.quillon.runtime.launcher;

/** A first-run class without the static boolean firstRun() the launcher looks for. */
public final class FirstRun {
    private FirstRun() {}

    public static int firstRun() {
        return 1;
    }
}
