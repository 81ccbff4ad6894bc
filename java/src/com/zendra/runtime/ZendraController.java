package com.zendra.runtime;

/**
 * What the launcher's splash screen asks while it is up: every 100 ms it calls {@link #getAction()}
 * and, when the answer is {@link #NEW_TEXT}, {@link #getText()}. Applications use {@link Splash}
 * instead of this class.
 */
public final class ZendraController {
    /** Answer of {@link #getAction()}: nothing to do. */
    public static final int NOTHING = 0;
    /** Answer of {@link #getAction()}: close the splash screen. */
    public static final int HIDE = 1;
    /** Answer of {@link #getAction()}: fetch a new status line with {@link #getText()}. */
    public static final int NEW_TEXT = 2;

    private static final Object LOCK = new Object();
    private static boolean hidden;
    private static String pendingText;

    private ZendraController() {}

    /**
     * What the splash screen should do: {@link #HIDE} once the application hid it,
     * {@link #NEW_TEXT} while a status line waits to be fetched, else {@link #NOTHING}.
     *
     * @return one of the three action values
     */
    public static int getAction() {
        synchronized (LOCK) {
            if (hidden) {
                return HIDE;
            }
            return pendingText != null ? NEW_TEXT : NOTHING;
        }
    }

    /**
     * Takes the status line that waits to be shown; the next {@link #getAction()} answers
     * {@link #NOTHING} until the application sets another one.
     *
     * @return the latest status line, or null when none waits
     */
    public static String getText() {
        synchronized (LOCK) {
            String text = pendingText;
            pendingText = null;
            return text;
        }
    }

    static void setStatus(String text) {
        if (text == null) {
            throw new NullPointerException("status text");
        }
        synchronized (LOCK) {
            if (!hidden) {
                pendingText = text;
            }
        }
    }

    static void hide() {
        synchronized (LOCK) {
            hidden = true;
            pendingText = null;
        }
    }

    // Back to the state of a fresh VM (for the tests).
    static void reset() {
        synchronized (LOCK) {
            hidden = false;
            pendingText = null;
        }
    }
}
