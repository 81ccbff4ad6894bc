package com.quillon.runtime.launcher;

import zt.Record;

/** The first-run hook: answers as the system property zt.firstRun says ("true", "false", "throw"). */
public final class FirstRun {
    private FirstRun() {}

    public static boolean firstRun() {
        String answer = System.getProperty("zt.firstRun", "true");
        Record.line("firstRun asked, answers " + answer);
        if (answer.equals("throw")) {
            throw new IllegalStateException("first run failed");
        }
        return Boolean.parseBoolean(answer);
    }
}
