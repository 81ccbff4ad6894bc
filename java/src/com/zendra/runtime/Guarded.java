package com.zendra.runtime;

/**
 * Runs the application's callbacks and the library's own start steps so that one that fails
 * stops nothing else.
 */
final class Guarded {
    private Guarded() {}

    /** Runs callback; a failure is reported on standard error, except that the VM's own errors pass. */
    static void run(String what, Runnable callback) {
        try {
            callback.run();
        } catch (VirtualMachineError e) {
            throw e;
        } catch (Throwable e) {
            System.err.println("zendra-runtime: " + what + " failed:");
            e.printStackTrace();
        }
    }
}
