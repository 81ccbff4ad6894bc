package zt.lib;

import com.zendra.runtime.Splash;
import com.zendra.runtime.ZendraController;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * Sets two status lines, each once the splash has fetched the one before, hides the splash and
 * returns once the polling thread has left the VM (a thread still calling in would block for
 * good while the VM ends).
 */
public final class SplashApp {
    private SplashApp() {}

    public static void main(String[] args) throws Exception {
        Splash.setStatus("Status \u00e9t\u00e9 \u2713 \u65e5\u672c \ud83d\ude00");
        awaitFetched();
        Splash.setStatus("second");
        awaitFetched();
        Splash.hide();
        Path record = Paths.get(System.getenv("ZENDRA_TEST_RECORD"));
        long deadline = System.nanoTime() + 20_000_000_000L;
        String line = "native: splash detached";
        while (System.nanoTime() < deadline
                && !(Files.exists(record) && new String(Files.readAllBytes(record), StandardCharsets.UTF_8).contains(line))) {
            Thread.sleep(2);
        }
    }

    // Until the poller took the text: then it asks again and hears "nothing to do".
    private static void awaitFetched() throws InterruptedException {
        long deadline = System.nanoTime() + 20_000_000_000L;
        while (ZendraController.getAction() == ZendraController.NEW_TEXT && System.nanoTime() < deadline) {
            Thread.sleep(2);
        }
    }
}
