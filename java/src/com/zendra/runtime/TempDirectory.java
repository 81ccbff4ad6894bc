package com.zendra.runtime;

import java.io.IOException;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.regex.Pattern;

/**
 * Removes the launcher's per-run directory when the VM ends, unless the application keeps it.
 * Only a directory named as the launcher names them ("..._dir" and a number on Windows, "znd_dir"
 * and six letters or digits on Linux) is removed, so a
 * mistyped property never costs another directory; links inside it are removed, not followed.
 */
final class TempDirectory {
    private static final Pattern RUN_DIRECTORY = Pattern.compile(".*_dir-?\\d+|znd_dir[A-Za-z0-9]{6}");
    private static volatile boolean keep;
    private static boolean scheduled;

    private TempDirectory() {}

    static void keep() {
        keep = true;
    }

    /** Removes dir when the VM ends (after main returned or at System.exit). */
    static synchronized void removeAtExit(Path dir) {
        if (dir == null || scheduled || !isRunDirectory(dir)) {
            return;
        }
        scheduled = true;
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            if (!keep) {
                remove(dir);
            }
        }, "zendra temp directory removal"));
    }

    static boolean isRunDirectory(Path dir) {
        Path name = dir.getFileName();
        return name != null && RUN_DIRECTORY.matcher(name.toString()).matches()
                && Files.isDirectory(dir, LinkOption.NOFOLLOW_LINKS);
    }

    /**
     * Deletes dir with everything in it, as far as it can: a file that cannot be deleted (one the
     * VM still holds open on Windows) stays with its directories.
     *
     * @return whether dir is gone
     */
    static boolean remove(Path dir) {
        try {
            Files.walkFileTree(dir, new SimpleFileVisitor<Path>() {
                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) {
                    quietlyDelete(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult visitFileFailed(Path file, IOException e) {
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult postVisitDirectory(Path directory, IOException e) {
                    quietlyDelete(directory);
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException e) {
            return false;
        }
        return !Files.exists(dir, LinkOption.NOFOLLOW_LINKS);
    }

    private static void quietlyDelete(Path path) {
        try {
            Files.deleteIfExists(path);
        } catch (IOException e) {
            // left behind; the rest is still removed
        }
    }
}
