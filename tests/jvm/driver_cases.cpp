#include "driver_cases.h"

#include <array>

#include "fake_jvm_support.h"
#include "jvm_cases.h"
#include "property_ids.h"

namespace zendra::jvmtest {
namespace {

// The classes with every test class, those with broken variants, and none at all.
constexpr const char* kAppClasses = ZT_CLASSES_APP;
constexpr const char* kBrokenClasses = ZT_CLASSES_BROKEN;
constexpr const char* kEmptyClasses = ZT_CLASSES_EMPTY;
constexpr const char* kLibraryClasses = ZT_CLASSES_LIBRARY;  // zendra-runtime.jar and an application on it

std::string inExecutableDir(const std::string& name) { return std::string(kExecutableDir) + "\\" + name; }

// The executable, its option file, the per-run directory and the runtime in the fake system.
void installFiles(Run& r) {
    r.sys.process.moduleW = kExecutableW;
    r.sys.process.moduleA = kExecutable;
    r.sys.fs.addFile(kExecutable, "MZ");
    r.sys.fs.addFile(inExecutableDir("launcher.vmoptions"),
                     "  -Dzt.fromFile=line with spaces  \n# comment\n\n-Dzt.hash=a # b\n");
    r.sys.fs.addDirectory(std::string(kLauncherTempDir) + "\\user");
    r.sys.fs.addDirectory(kSystemTempDir);
    test::addJre(r.sys, "c:\\jdk17", test::FakeJre{}.withVersion("17.0.9"));
    r.libraries.alias(std::string(kJavaBin) + "\\server\\jvm.dll", ZT_LIBJVM);
}

void setErrorTexts(PropertyStore& store) {
    store.setProperty(prop::errorCaption, "Zendra test");
    store.setProperty(prop::errorVmStart, kTextVmStart);
    store.setProperty(prop::errorInternal, kTextInternal);
    store.setProperty(prop::errorMainClass, kTextMainClass);
    store.setProperty(prop::errorMainMethod, kTextMainMethod);
}

// What every case shares: a zendra console launcher whose class path is the variable ZT_CLASSES.
// The VM checks the launcher's JNI calls (-Xcheck:jni) unless told otherwise.
void configureBase(Run& r, const std::string& scenario, const char* classes, bool checkJni = true) {
    installFiles(r);
    auto& env = r.sys.env.vars;
    env["ZENDRA_LOG"] = "yes";
    env["TMP"] = kSystemTempDir;
    env["PATH"] = kHostPath;
    env["ZT_WORD"] = "wörd";
    // The Linux VM splits its class path at ":"; colons around the directory keep it one
    // entry between the ";" separators the launcher writes.
    env["ZT_CLASSES"] = std::string(":") + classes + ":";
    PropertyStore& store = r.l.store;
    setErrorTexts(store);
    store.setProperty(prop::launcherType, "0");
    store.setProperty(prop::productFlavour, "zendra");
    store.setProperty(prop::classPath, "E1ZT_CLASSES");
    store.setProperty(prop::launchText, "com.example.Main");
    store.setProperty(prop::vmOptions,
                      "\"-Dzt.note=a b ü\" -Dzt.scenario=" + scenario + (checkJni ? " -Xcheck:jni" : ""));
    store.setProperty(prop::minJavaVersion, "1.8");
    store.setProperty(prop::nativeLibraryPath, "lib;..\\common");
    r.l.flavourLetter = 'z';
    r.l.productTitle = "zendra";
    r.l.errorDisplayMode = false;
    r.l.launcherTempDir = kLauncherTempDir;
    r.l.unextractedPosition = kUnextractedPosition;
    r.l.processId = kProcessId;
    r.l.consoleOutputCodePage = kConsoleCodePage;
    r.args = {u"launcher"};
}

void addVmOptions(Run& r, const std::string& options) {
    r.l.store.setProperty(prop::vmOptions, r.l.store.getProperty(prop::vmOptions) + " " + options);
}

void makeQuillon(Run& r) {
    r.l.store.setProperty(prop::productFlavour, "quillon");
    r.l.flavourLetter = 'q';
    r.l.productTitle = "quillon";
}

// A quillon launcher whose installation holds the first-run marker.
void configureFirstRun(Run& r, const std::string& answer, const char* classes) {
    configureBase(r, "record", classes);
    makeQuillon(r);
    r.l.store.setProperty(prop::installationDirectory, ".");
    r.sys.fs.addFile(inExecutableDir(".quillon\\firstrun"), "");
    addVmOptions(r, "-Dzt.firstRun=" + answer);
}

void zendraArguments(Run& r) {
    configureBase(r, "record", kAppClasses);
    PropertyStore& store = r.l.store;
    store.setProperty(prop::singleInstance, "1");
    store.setProperty(prop::acceptJavaArguments, "1");
    store.setProperty(prop::launchPathAEnabled, "1");
    store.setProperty(prop::launchPathA, "data\\first file.txt");
    store.setProperty(prop::launchPathBEnabled, "1");
    store.setProperty(prop::launchPathB, "${NOT_DEFINED}\\second");
    store.setProperty(prop::launchFlag, "1");
    store.setProperty(prop::launchArguments, "-first \"two words\" ${ZT_WORD}");
    store.setProperty(prop::installationDirectory, ".");
    r.sys.fs.addFile(inExecutableDir(".quillon\\firstrun"), "");  // only quillon launchers look
    r.l.instanceSemaphoreName = kSemaphoreName;
    r.args = {u"launcher", u"plain", u"two words", u"ünïcödé ✓ 日本 😀", u"-J-Dzt.fromJ=yes",
              u"-Dsun.locale.formatasdefault=true", u"C:\\Users\\Jörg Ö\\file name.txt"};
}

void quillonArguments(Run& r) {
    configureBase(r, "record", kAppClasses);
    makeQuillon(r);
    r.l.store.setProperty(prop::launcherType, "1");
    r.l.errorDisplayMode = true;
    r.l.store.setProperty(prop::launchText, "com.example.Quill");
    r.l.manualJre = true;
    r.l.languageRestart = true;
    r.l.language = makeSelection("de_AT");
    r.sys.env.vars["MANPATH"] = "";
    r.args = {kExecutableW, u"-J-Xmx1g", u"-Dsun.locale.formatasdefault=false", u"x"};
}

void zendraExit(Run& r) { configureBase(r, "exit7", kAppClasses); }
void zendraThrows(Run& r) { configureBase(r, "throw", kAppClasses); }
void zendraThread(Run& r) { configureBase(r, "thread", kAppClasses); }

void vmFailure(Run& r) {
    configureBase(r, "record", kAppClasses);
    addVmOptions(r, "-XX:MaxHeapSize=abc");
}

void missingClass(Run& r) { configureBase(r, "record", kEmptyClasses); }
void missingMain(Run& r) { configureBase(r, "record", kBrokenClasses); }
void firstRunTrue(Run& r) { configureFirstRun(r, "true", kAppClasses); }
void firstRunFalse(Run& r) { configureFirstRun(r, "false", kAppClasses); }
void firstRunThrows(Run& r) { configureFirstRun(r, "throw", kAppClasses); }
void firstRunClassMissing(Run& r) { configureFirstRun(r, "true", kEmptyClasses); }
void firstRunMethodMissing(Run& r) { configureFirstRun(r, "true", kBrokenClasses); }

void controller(Run& r) {
    configureBase(r, "controller", kAppClasses);
    r.pollController = true;
}

void controllerThrows(Run& r) {
    configureBase(r, "controller", kAppClasses);
    addVmOptions(r, "-Dzt.controllerThrows=true");
    r.pollController = true;
}

// The splash thread still attached when main returns: ending the VM must not wait for it.
void controllerStaysAttached(Run& r) {
    controller(r);
    r.stayAttached = true;
}

// An application on the runtime library drives the splash through its Splash class.
void librarySplash(Run& r) {
    configureBase(r, "record", kLibraryClasses);
    r.l.store.setProperty(prop::launchText, "zt.lib.SplashApp");
    r.pollController = true;
    r.followSplash = true;
}

constexpr std::array kCases = {
    CaseSetup{"zendra_arguments", LauncherKind::App, zendraArguments},
    CaseSetup{"quillon_arguments", LauncherKind::Setup, quillonArguments},
    CaseSetup{"exit_status", LauncherKind::App, zendraExit},
    CaseSetup{"main_throws", LauncherKind::App, zendraThrows},
    CaseSetup{"non_daemon_thread", LauncherKind::App, zendraThread},
    CaseSetup{"vm_creation_fails", LauncherKind::App, vmFailure},
    CaseSetup{"launcher_class_missing", LauncherKind::App, missingClass},
    CaseSetup{"main_method_missing", LauncherKind::App, missingMain},
    CaseSetup{"first_run_true", LauncherKind::Service, firstRunTrue},
    CaseSetup{"first_run_false", LauncherKind::Service, firstRunFalse},
    CaseSetup{"first_run_throws", LauncherKind::Service, firstRunThrows},
    CaseSetup{"first_run_class_missing", LauncherKind::Service, firstRunClassMissing},
    CaseSetup{"first_run_method_missing", LauncherKind::Service, firstRunMethodMissing},
    CaseSetup{"controller", LauncherKind::App, controller},
    CaseSetup{"controller_throws", LauncherKind::App, controllerThrows},
    CaseSetup{"controller_stays_attached", LauncherKind::App, controllerStaysAttached},
    CaseSetup{"library_splash", LauncherKind::App, librarySplash},
};

}  // namespace

Run::Run(LauncherKind kind)
    : platform{sys.fs, sys.env, sys.clock, ui, codec, sys.process, sys.registry, libraries, sys.sync, sys.desktop, sys.splash}, l(platform, kind) {}

const CaseSetup* findCase(std::string_view name) {
    for (const CaseSetup& setup : kCases)
        if (name == setup.name) return &setup;
    return nullptr;
}

std::string caseNames() {
    std::string names;
    for (const CaseSetup& setup : kCases) names += std::string(setup.name) + "\n";
    return names;
}

}  // namespace zendra::jvmtest
