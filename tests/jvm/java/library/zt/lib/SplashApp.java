package zt.lib;

import com.zendra.runtime.Splash;
import com.zendra.runtime.ZendraController;

/** Sets two status lines, each once the splash has fetched the one before, then hides the splash. */
public final class SplashApp {
    private SplashApp() {}

    public static void main(String[] args) throws InterruptedException {
        Splash.setStatus("Status \u00e9t\u00e9 \u2713 \u65e5\u672c \ud83d\ude00");
        awaitFetched();
        Splash.setStatus("second");
        awaitFetched();
        Splash.hide();
    }

    // Until the poller took the text: then it asks again and hears "nothing to do".
    private static void awaitFetched() throws InterruptedException {
        long deadline = System.nanoTime() + 20_000_000_000L;
        while (ZendraController.getAction() == ZendraController.NEW_TEXT && System.nanoTime() < deadline) {
            Thread.sleep(2);
        }
    }
}
