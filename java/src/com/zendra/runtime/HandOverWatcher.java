package com.zendra.runtime;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.function.Consumer;

/**
 * Takes the hand-over files a later start of the launcher writes: reads the argument text
 * (UTF-16LE, ended by a line feed), deletes the file, which tells the later start that its
 * arguments arrived, and passes the split arguments on.
 */
final class HandOverWatcher implements Runnable {
    /** The launcher writes at most 16,383 characters; anything beyond is not its file. */
    private static final int MAX_BYTES = 64 * 1024;
    /** How long a file without its closing line feed may still be in writing. */
    private static final long WRITE_GRACE_MILLIS = 2000;

    private final Path file;
    private final long pollMillis;
    private final Consumer<List<String>> sink;

    HandOverWatcher(Path file, long pollMillis, Consumer<List<String>> sink) {
        this.file = file;
        this.pollMillis = pollMillis;
        this.sink = sink;
    }

    @Override
    public void run() {
        try {
            while (true) {
                if (Files.exists(file, LinkOption.NOFOLLOW_LINKS) && !takeOnce()) {
                    return;
                }
                Thread.sleep(pollMillis);
            }
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    /**
     * Takes the file once it is complete; false when it cannot be deleted (watching it on would
     * hand the same arguments over again and again). The writer holds the file exclusively while
     * it writes, so reading and deleting are tried again for a while.
     */
    boolean takeOnce() throws InterruptedException {
        long deadline = System.nanoTime() + WRITE_GRACE_MILLIS * 1_000_000L;
        String text = null;
        if (Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)) {
            text = readComplete(deadline);
        } else {
            System.err.println("zendra-runtime: the hand-over file " + file + " is not a plain file; removed unread");
        }
        while (true) {
            try {
                Files.deleteIfExists(file);
                break;
            } catch (IOException e) {
                if (System.nanoTime() > deadline) {
                    System.err.println("zendra-runtime: cannot delete the hand-over file " + file + " (" + e
                            + "); later starts will wait for it in vain");
                    return false;
                }
                Thread.sleep(10);
            }
        }
        if (text != null) {
            sink.accept(CommandLine.split(text.endsWith("\n") ? text.substring(0, text.length() - 1) : text));
        }
        return true;
    }

    // The text once it ends with its line feed, or as it is at the deadline; null when unreadable.
    private String readComplete(long deadline) throws InterruptedException {
        while (true) {
            String text = null;
            try {
                text = read();
            } catch (NoSuchFileException e) {
                return null;
            } catch (IOException e) {
                if (System.nanoTime() > deadline) {
                    System.err.println("zendra-runtime: cannot read the hand-over file " + file + " (" + e + ")");
                    return null;
                }
            }
            if (text != null && (text.endsWith("\n") || System.nanoTime() > deadline)) {
                return text;
            }
            Thread.sleep(10);
        }
    }

    private String read() throws IOException {
        byte[] buffer = new byte[MAX_BYTES];
        int length = 0;
        try (InputStream in = Files.newInputStream(file, LinkOption.NOFOLLOW_LINKS)) {
            for (int n; length < buffer.length && (n = in.read(buffer, length, buffer.length - length)) > 0;) {
                length += n;
            }
        }
        return new String(Arrays.copyOf(buffer, length & ~1), StandardCharsets.UTF_16LE);
    }
}
