package zt.lib;

import com.zendra.runtime.Launch;
import com.zendra.runtime.Service;
import com.zendra.runtime.SingleInstance;
import java.util.ArrayList;
import java.util.List;

/**
 * An application on the runtime library: prints its launch view, then acts on its arguments:
 * "--keep-temp" keeps the per-run directory, "--exit=N" ends with System.exit(N),
 * "--handovers=N,MS" adds a single-instance listener after MS ms and prints the first N
 * hand-overs, "--stop-listener=hang|return,MS" adds a service stop listener with time-out MS and
 * waits to be stopped.
 */
public final class App {
    private static final List<String[]> HANDED = new ArrayList<>();

    private App() {}

    public static void main(String[] args) throws Exception {
        Launch launch = Launch.current();
        System.out.println("view executable=" + launch.executable());
        System.out.println("view program=" + launch.program());
        System.out.println("view launchText=" + launch.launchText());
        System.out.println("view gui=" + launch.isGui());
        System.out.println("view service=" + launch.isService());
        System.out.println("view singleInstance=" + launch.isSingleInstance());
        System.out.println("view semaphore=" + launch.semaphoreName());
        System.out.println("view tempDir=" + launch.tempDirectory());
        System.out.println("view codePage=" + launch.consoleCodePage());
        for (String name : new String[] {"moduleName", "semaphoreName", "tempDir", "consoleCodepage"}) {
            System.out.println("property zendra." + name + "=" + System.getProperty("zendra." + name));
        }
        System.out.println("included files=" + launch.includedFiles() + ", data.txt at "
                + (launch.tempDirectory() == null ? null : launch.includedFile("data.txt")));
        System.out.println("started");
        System.out.flush();
        for (String arg : args) {
            String value = arg.substring(arg.indexOf('=') + 1);
            if (arg.equals("--keep-temp")) {
                Launch.keepTempDirectory();
            } else if (arg.startsWith("--exit=")) {
                System.exit(Integer.parseInt(value));
            } else if (arg.startsWith("--handovers=")) {
                String[] parts = value.split(",");
                awaitHandOvers(Integer.parseInt(parts[0]), Long.parseLong(parts[1]));
            } else if (arg.startsWith("--stop-listener=")) {
                String[] parts = value.split(",");
                awaitStop(parts[0].equals("hang"), Long.parseLong(parts[1]));
            }
        }
        System.out.println("main done");
    }

    private static void awaitHandOvers(int count, long delayMillis) throws InterruptedException {
        Thread.sleep(delayMillis);
        SingleInstance.addListener(arguments -> {
            synchronized (HANDED) {
                HANDED.add(arguments);
                HANDED.notifyAll();
            }
        });
        System.out.println("listener added");
        System.out.flush();
        synchronized (HANDED) {
            long deadline = System.currentTimeMillis() + 20_000;
            while (HANDED.size() < count && System.currentTimeMillis() < deadline) {
                HANDED.wait(100);
            }
            for (String[] arguments : HANDED) {
                System.out.println("handed over: " + arguments.length);
                for (String argument : arguments) {
                    System.out.println("handed: " + argument);
                }
            }
        }
    }

    private static void awaitStop(boolean hang, long timeoutMillis) throws InterruptedException {
        Service.setStopTimeout(timeoutMillis);
        Service.addStopListener(() -> {
            System.out.println("stop listener runs");
            System.out.flush();
            if (hang) {
                try {
                    Thread.sleep(60_000);
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            }
            System.out.println("stop listener done");
        });
        System.out.println("awaiting stop");
        System.out.flush();
        Thread.sleep(30_000);
        System.out.println("never stopped");
        System.exit(3);
    }
}
