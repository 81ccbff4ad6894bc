package com.zendra.runtime;

import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CopyOnWriteArrayList;

/**
 * Arguments of later starts in single-instance mode: when the launcher is started again while
 * this instance runs, the new start hands its arguments over and ends; they arrive here, split as
 * the launcher splits a command line.
 *
 * <pre>{@code
 * SingleInstance.addListener(arguments -> SwingUtilities.invokeLater(() -> {
 *     for (String name : arguments) openDocument(name);
 *     mainFrame.toFront();
 * }));
 * }</pre>
 *
 * <p>A daemon thread takes each hand-over as soon as it comes, also while no listener is
 * registered, so a later start never waits; arguments that come before the first listener are
 * kept (up to 100 hand-overs) and given to it, in their order, by the call that adds it. Later
 * hand-overs reach the listeners on that daemon thread, one listener after the other in the order
 * they were added; one that throws does not keep the others from their call.
 */
public final class SingleInstance {
    /** Hand-overs kept for a listener still to come. */
    static final int MAX_PENDING = 100;
    private static final long POLL_MILLIS = 50;

    /** Called with the arguments a later start of the launcher handed over. */
    @FunctionalInterface
    public interface Listener {
        /**
         * A later start handed its arguments over.
         *
         * @param arguments its arguments, in order, without the program
         */
        void newStart(String[] arguments);
    }

    private static final List<Listener> LISTENERS = new CopyOnWriteArrayList<>();
    private static final List<String[]> PENDING = new ArrayList<>();
    private static boolean watching;

    private SingleInstance() {}

    /**
     * Adds a listener; it gets the hand-overs that came before any listener at once.
     *
     * @param listener called on the hand-over thread for every later start
     */
    public static void addListener(Listener listener) {
        if (listener == null) {
            throw new NullPointerException("listener");
        }
        synchronized (PENDING) {
            LISTENERS.add(listener);
            for (String[] arguments : PENDING) {
                Guarded.run("a single-instance listener", () -> listener.newStart(arguments));
            }
            PENDING.clear();
        }
        startWatching();
    }

    /**
     * Removes a listener added before.
     *
     * @param listener the listener
     */
    public static void removeListener(Listener listener) {
        LISTENERS.remove(listener);
    }

    /** @return whether this instance runs in single-instance mode and takes hand-overs */
    public static boolean isEnabled() {
        return Launch.current().isSingleInstance();
    }

    /** Starts taking hand-overs when the launcher named a hand-over file; once per VM. */
    static synchronized void startWatching() {
        String name = Launch.current().handOverFile();
        if (watching || name.isEmpty()) {
            return;
        }
        watching = true;
        Path file = Paths.get(name);
        HandOverWatcher watcher = new HandOverWatcher(file, POLL_MILLIS,
                arguments -> deliver(arguments.toArray(new String[0])));
        Thread thread = new Thread(watcher, "zendra single-instance hand-over");
        thread.setDaemon(true);
        thread.start();
    }

    /**
     * Gives one hand-over to every listener, or keeps it when there is none yet. The lock keeps
     * the order of hand-overs also for a listener that is being added.
     */
    static void deliver(String[] arguments) {
        synchronized (PENDING) {
            if (LISTENERS.isEmpty()) {
                if (PENDING.size() < MAX_PENDING) {
                    PENDING.add(arguments);
                }
                return;
            }
            for (Listener listener : LISTENERS) {
                String[] copy = arguments.clone();
                Guarded.run("a single-instance listener", () -> listener.newStart(copy));
            }
        }
    }

    // Back to the state of a fresh VM, the watcher aside (for the tests).
    static void reset() {
        synchronized (PENDING) {
            LISTENERS.clear();
            PENDING.clear();
        }
    }
}
