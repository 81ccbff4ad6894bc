package com.quillon.runtime.launcher;

import zt.Record;

/** The quillon launcher class: records what the launcher hands over, then plays its scenario. */
public final class WinLauncher {
    private WinLauncher() {}

    public static void main(String[] args) throws InterruptedException {
        Record.launch("quillon", args);
        Record.play("quillon");
    }
}
