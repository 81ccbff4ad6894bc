package com.zendra.runtime;

import java.awt.AWTEvent;
import java.awt.Toolkit;
import java.awt.Window;
import java.awt.event.AWTEventListener;
import java.awt.event.WindowEvent;

/** Hides the splash screen when the first window of the application opens. Kept apart from
 * {@link Splash} so that applications without windows never load the desktop toolkit. */
final class FirstWindowWatch implements AWTEventListener {
    private static boolean installed;

    private FirstWindowWatch() {}

    static synchronized void install() {
        if (installed) {
            return;
        }
        installed = true;
        Toolkit toolkit = Toolkit.getDefaultToolkit();
        toolkit.addAWTEventListener(new FirstWindowWatch(), AWTEvent.WINDOW_EVENT_MASK);
        for (Window window : Window.getWindows()) {
            if (window.isShowing()) {
                Splash.hide();
                break;
            }
        }
    }

    @Override
    public void eventDispatched(AWTEvent event) {
        if (event.getID() == WindowEvent.WINDOW_OPENED) {
            Splash.hide();
            Toolkit.getDefaultToolkit().removeAWTEventListener(this);
        }
    }
}
