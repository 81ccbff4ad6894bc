package com.example.hello;

/** The sample application: prints what it was started with and ends with a chosen status. */
public final class HelloApp {
    private HelloApp() {}

    public static void main(String[] args) {
        System.out.println("Hello from the zendra sample on Java " + System.getProperty("java.version"));
        for (int i = 0; i < args.length; i++) {
            System.out.println("  argument " + i + ": " + args[i]);
        }
        String tempDir = System.getProperty("zendra.tempDir");
        if (tempDir != null) {
            System.out.println("  zendra.tempDir = " + tempDir);
        }
        int status = 0;
        for (String arg : args) {
            if (arg.startsWith("--exit=")) {
                status = Integer.parseInt(arg.substring("--exit=".length()));
            }
        }
        System.exit(status);
    }
}
