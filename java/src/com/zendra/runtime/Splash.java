package com.zendra.runtime;

/**
 * The launcher's splash screen, seen from the application: change its status line or close it.
 * The launcher asks for these requests about every 100 ms while its splash screen is up; when it
 * shows none, the calls do nothing. Every method may be called from any thread.
 *
 * <pre>{@code
 * Splash.setStatus("Loading plug-ins...");
 * loadPlugins();
 * Splash.hideWhenWindowShows();
 * new MainFrame().setVisible(true);
 * }</pre>
 */
public final class Splash {
    private Splash() {}

    /**
     * Shows text as the splash screen's status line. Only the latest text of those set between
     * two requests of the launcher is shown; after {@link #hide()} it has no effect.
     *
     * @param text the new status line
     * @throws NullPointerException when text is null
     */
    public static void setStatus(String text) {
        ZendraController.setStatus(text);
    }

    /** Closes the splash screen for good. */
    public static void hide() {
        ZendraController.hide();
    }

    /**
     * Closes the splash screen as soon as the application's first window opens (at once when one
     * is already showing). Loads the desktop toolkit, so only applications with windows call it.
     */
    public static void hideWhenWindowShows() {
        FirstWindowWatch.install();
    }
}
