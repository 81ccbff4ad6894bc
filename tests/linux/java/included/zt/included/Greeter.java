package zt.included;

/** A class that exists only inside a jar the launcher carries and extracts at start. */
public final class Greeter {
    private Greeter() {}

    /** Where this class was loaded from. */
    public static String describe() {
        return "from " + Greeter.class.getProtectionDomain().getCodeSource().getLocation().getPath();
    }
}
