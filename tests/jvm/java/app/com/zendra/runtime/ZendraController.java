package com.zendra.runtime;

import java.util.ArrayList;
import java.util.List;

/**
 * The controller a splash polls: actions 0, 1, 2 in turn (then 2), texts null, then one with
 * characters outside Latin-1 (then the same again). Every answer is kept for the launcher
 * class, which records them once the conversation is over (so the record has one order).
 */
public final class ZendraController {
    /** The second text: Latin-1, BMP characters beyond it, and a supplementary character. */
    public static final String TEXT = "Status \u00e9t\u00e9 \u2713 \u65e5\u672c \ud83d\ude00";

    private static final int[] ACTIONS = {0, 1, 2};
    private static int actionCalls;
    private static int textCalls;
    private static final List<String> ANSWERS = new ArrayList<>();

    /** With zt.controllerBusy, getAction takes its time: whether such a call has begun, and
     *  whether one is running now. */
    private static volatile boolean busyCallBegun;
    private static volatile boolean busyCallRunning;

    private ZendraController() {}

    public static synchronized int getAction() {
        if (Boolean.getBoolean("zt.controllerBusy")) {
            return busyAction();
        }
        if (actionCalls == 0 && Boolean.getBoolean("zt.controllerThrows")) {
            ++actionCalls;
            ANSWERS.add("getAction throws");
            throw new IllegalStateException("controller failed");
        }
        int action = ACTIONS[Math.min(actionCalls, ACTIONS.length - 1)];
        ++actionCalls;
        String thread = Thread.currentThread().getName().equals("main") ? "main" : "another";
        ANSWERS.add("getAction on " + thread + " thread answers " + action);
        return action;
    }

    public static synchronized String getText() {
        String text = textCalls == 0 ? null : TEXT;
        ++textCalls;
        ANSWERS.add("getText answers " + (text == null ? "null" : text));
        return text;
    }

    /** The answers given so far, in order. */
    public static synchronized List<String> answers() {
        return new ArrayList<>(ANSWERS);
    }

    private static int busyAction() {
        busyCallRunning = true;
        busyCallBegun = true;
        try {
            Thread.sleep(400);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        busyCallRunning = false;
        return 0;
    }

    /** Whether a slow getAction call has begun. */
    public static boolean busyCallBegun() {
        return busyCallBegun;
    }

    /** Whether a slow getAction call is running now. */
    public static boolean busyCallRunning() {
        return busyCallRunning;
    }

    /** Whether the polling side has fetched all actions and both texts. */
    public static synchronized boolean conversationDone() {
        return actionCalls >= ACTIONS.length && textCalls >= 2;
    }
}
