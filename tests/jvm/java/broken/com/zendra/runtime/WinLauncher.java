package com.zendra.runtime;

/** A launcher class without the static main(String[]) the launcher looks for. */
public final class WinLauncher {
    private WinLauncher() {}

    public static void main(String arg) {
        throw new IllegalStateException("must not be called");
    }
}
