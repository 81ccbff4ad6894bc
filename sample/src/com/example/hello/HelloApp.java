package com.example.hello;

import com.zendra.runtime.Launch;
import com.zendra.runtime.Service;
import com.zendra.runtime.SingleInstance;
import com.zendra.runtime.Splash;

/**
 * The sample application, started through zendra-runtime.jar: prints what it was started with
 * and its launch view, hides the splash screen, prints the arguments later starts hand over while
 * it waits ("--wait=SECONDS") and ends with a chosen status ("--exit=N"). As a service it runs
 * until the service is stopped.
 */
public final class HelloApp {
    private HelloApp() {}

    public static void main(String[] args) throws InterruptedException {
        Splash.setStatus("Hello Sample is starting...");
        System.out.println("Hello from the zendra sample on Java " + System.getProperty("java.version"));
        for (int i = 0; i < args.length; i++) {
            System.out.println("  argument " + i + ": " + args[i]);
        }
        Launch launch = Launch.current();
        System.out.println("  executable: " + launch.executable());
        System.out.println("  program: " + launch.program());
        System.out.println("  per-run directory: " + launch.tempDirectory());
        System.out.println("  single instance: " + launch.isSingleInstance());
        if (launch.isSingleInstance()) {
            SingleInstance.addListener(handed -> {
                System.out.println("  a second start handed over " + handed.length + " arguments:");
                for (String argument : handed) {
                    System.out.println("    " + argument);
                }
                System.out.flush();
            });
        }
        Splash.hide();
        if (launch.isService()) {
            Service.addStopListener(() -> System.out.println("  the service stops"));
            System.out.println("  running as a service until it is stopped");
            System.out.flush();
            Thread.sleep(Long.MAX_VALUE);
        }
        System.out.flush();
        int status = 0;
        for (String arg : args) {
            if (arg.startsWith("--wait=")) {
                Thread.sleep(1000L * Integer.parseInt(arg.substring("--wait=".length())));
            } else if (arg.startsWith("--exit=")) {
                status = Integer.parseInt(arg.substring("--exit=".length()));
            }
        }
        System.exit(status);
    }
}
