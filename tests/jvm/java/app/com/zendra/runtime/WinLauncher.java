package com.zendra.runtime;

import zt.Record;

/** The zendra launcher class: records what the launcher hands over, then plays its scenario. */
public final class WinLauncher {
    private WinLauncher() {}

    public static void main(String[] args) throws InterruptedException {
        Record.launch("zendra", args);
        Record.play("zendra");
    }
}
