package com.zendra.runtime;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CopyOnWriteArrayList;

/**
 * The stop of a service. The service launcher runs the application in a worker process and, when
 * the service is stopped or the system shuts down, writes the line "0" to the worker's standard
 * input. A daemon thread of the worker reads that input; at the line it calls the stop listeners
 * one after the other, in the order they were added, and then ends the VM with status 0, which
 * the service reports as stopped. Listeners that together take longer than the stop time-out are
 * left behind and the VM ends anyway.
 *
 * <pre>{@code
 * Service.setStopTimeout(15_000);
 * Service.addStopListener(() -> {
 *     server.close();
 *     database.flush();
 * });
 * }</pre>
 *
 * <p>The worker's standard input belongs to this class: the application does not read it.
 */
public final class Service {
    private static final long DEFAULT_STOP_TIMEOUT_MILLIS = 20_000;
    private static final List<Runnable> LISTENERS = new CopyOnWriteArrayList<>();
    private static volatile long stopTimeoutMillis = DEFAULT_STOP_TIMEOUT_MILLIS;
    private static boolean reading;

    private Service() {}

    /** @return whether this VM runs in the worker of a service launcher */
    public static boolean isService() {
        return Launch.current().isService();
    }

    /**
     * Adds a listener that runs when the service stops.
     *
     * @param listener called on the stop thread
     */
    public static void addStopListener(Runnable listener) {
        if (listener == null) {
            throw new NullPointerException("listener");
        }
        LISTENERS.add(listener);
        startReading();
    }

    /**
     * Removes a listener added before.
     *
     * @param listener the listener
     */
    public static void removeStopListener(Runnable listener) {
        LISTENERS.remove(listener);
    }

    /**
     * Sets how long the stop listeners may take together before the VM ends without them
     * (20 seconds unless set).
     *
     * @param millis the time-out in milliseconds, at least 1
     */
    public static void setStopTimeout(long millis) {
        if (millis < 1) {
            throw new IllegalArgumentException("stop time-out must be positive: " + millis);
        }
        stopTimeoutMillis = millis;
    }

    /** In a service worker, starts reading standard input for the stop line; once per VM. */
    static synchronized void startReading() {
        if (reading || !isService()) {
            return;
        }
        reading = true;
        Thread thread = new Thread(() -> {
            if (awaitStopLine(System.in)) {
                stop();
            }
        }, "zendra service stop");
        thread.setDaemon(true);
        thread.start();
    }

    /** Reads lines until the stop line; false when the input ends first. */
    static boolean awaitStopLine(InputStream input) {
        try {
            BufferedReader reader = new BufferedReader(new InputStreamReader(input, StandardCharsets.US_ASCII));
            for (String line; (line = reader.readLine()) != null;) {
                if (isStopLine(line)) {
                    return true;
                }
            }
        } catch (IOException e) {
            System.err.println("zendra-runtime: cannot read the service's standard input (" + e + ")");
        }
        return false;
    }

    /** Whether line is the service's stop request. */
    static boolean isStopLine(String line) {
        return line.trim().equals("0");
    }

    /** Runs the listeners within the time-out, then ends the VM with status 0. */
    private static void stop() {
        long timeout = stopTimeoutMillis;
        if (!runListeners(new ArrayList<>(LISTENERS), timeout)) {
            System.err.println("zendra-runtime: the service's stop listeners did not end within " + timeout
                    + " ms; the service stops without them");
        }
        // Shutdown hooks run next; one that hangs must not keep the service from stopping.
        Thread watchdog = new Thread(() -> {
            try {
                Thread.sleep(timeout);
            } catch (InterruptedException e) {
                return;
            }
            Runtime.getRuntime().halt(0);
        }, "zendra service stop watchdog");
        watchdog.setDaemon(true);
        watchdog.start();
        System.exit(0);
    }

    /**
     * Calls listeners in order on a thread of their own and waits for them at most timeoutMillis.
     *
     * @return whether they all ended in time
     */
    static boolean runListeners(List<Runnable> listeners, long timeoutMillis) {
        Thread runner = new Thread(() -> {
            for (Runnable listener : listeners) {
                Guarded.run("a service stop listener", listener);
            }
        }, "zendra service stop listeners");
        runner.setDaemon(true);
        runner.start();
        try {
            runner.join(timeoutMillis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        return !runner.isAlive();
    }

    // Back to the state of a fresh VM, the reader aside (for the tests).
    static void reset() {
        LISTENERS.clear();
        stopTimeoutMillis = DEFAULT_STOP_TIMEOUT_MILLIS;
    }
}
