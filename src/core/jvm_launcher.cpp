#include "jvm_launcher.h"

#include <jni.h>

#include "errors.h"
#include "java_bridges.h"
#include "launch_arguments.h"
#include "property_ids.h"
#include "splash.h"
#include "system_properties.h"
#include "vm_hooks.h"
#include "vm_init_args.h"

namespace zendra {
namespace {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);

// The VM could not give memory for the arguments of main.
[[noreturn]] void allocationFailed(Launcher& l, const char* what) {
    l.log.error("could not allocate %s", what);
    fatalMessage(l, formatText("Internal Error: %s (jvm_launcher)", what));
}

// The String[] for main, one element per launch argument.
jobjectArray makeArgumentArray(Launcher& l, JNIEnv* env, const std::vector<std::u16string>& launchArguments) {
    l.log.message("param count: %d", static_cast<int>(launchArguments.size()));
    jclass stringClass = env->functions->FindClass(env, "java/lang/String");
    jobjectArray array = stringClass == nullptr ? nullptr
        : env->functions->NewObjectArray(env, static_cast<jsize>(launchArguments.size()), stringClass, nullptr);
    if (array == nullptr) allocationFailed(l, "paramArray");
    for (std::size_t i = 0; i < launchArguments.size(); ++i) {
        const std::u16string& text = launchArguments[i];
        l.log.message("param %d: %s", static_cast<int>(i), l.os.codec.toFileCodePage(text).text.c_str());
        jstring element = env->functions->NewString(env, reinterpret_cast<const jchar*>(text.data()),
                                                    static_cast<jsize>(text.size()));
        if (element == nullptr) allocationFailed(l, "jstr");
        env->functions->SetObjectArrayElement(env, array, static_cast<jsize>(i), element);
    }
    return array;
}

}  // namespace

bool createJVM(Launcher& l, const std::vector<std::string>& systemProperties, const ArgumentList& arguments) {
    std::shared_ptr<VmInitArgs> init = buildVmInitArgs(l, systemProperties, arguments);
    addVmHooks(*init);
    l.vmInitArgs = init;
    l.log.message("Creating JVM");
    if (l.createJavaVm == nullptr) return false;
    const auto create = reinterpret_cast<CreateJavaVmFunction>(l.createJavaVm);
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const VmCreationWatch watch(l);
    if (create(&vm, reinterpret_cast<void**>(&env), &init->args) != JNI_OK) {
        if (const std::string said = watch.output(); !said.empty()) l.log.error("the Java VM said: %s", said.c_str());
        return false;
    }
    l.vm = vm;
    l.env = env;
    return true;
}

bool callMain(Launcher& l, const ArgumentList& arguments) {
    if (isQuillonFlavour(l) && !checkFirstRun(l)) {
        l.log.message("checkFirstRun stopped further execution");
        return true;
    }
    JNIEnv* env = l.env;
    const std::string className = launcherClassName(l);
    l.log.message("main class: %s", className.c_str());
    jclass mainClass = env->functions->FindClass(env, className.c_str());
    if (mainClass == nullptr) {
        l.log.error("could not find main class");
        fatalPropertyWithArgument(l, prop::errorMainClass);
    }
    jmethodID mainMethod = env->functions->GetStaticMethodID(env, mainClass, "main", "([Ljava/lang/String;)V");
    if (mainMethod == nullptr) {
        l.log.error("could not find main method");
        fatalPropertyWithArgument(l, prop::errorMainMethod);
    }
    jobjectArray array = makeArgumentArray(l, env, buildLaunchArguments(l, arguments));
    l.log.message("calling main");
    env->functions->CallStaticVoidMethod(env, mainClass, mainMethod, array);
    l.log.message("main returned");
    if (env->functions->ExceptionOccurred(env) != nullptr) {
        l.log.error("an exception occured");
        env->functions->ExceptionDescribe(env);
        return false;
    }
    return true;
}

bool launchProgram(Launcher& l, const ArgumentList& arguments, bool destroyAfterMain) {
    l.log.message("launching program");
    const std::vector<std::string> systemProperties = launcherSystemProperties(l);
    if (!createJVM(l, systemProperties, arguments)) {
        l.log.error("could not initialize JVM");
        return false;
    }
    l.log.message("JVM created");
    l.jvmCreated = true;
    if (!callMain(l, arguments)) {
        l.log.error("could not call main");
        return false;
    }
    if (destroyAfterMain) {
        // A splash thread inside a Java call would keep the VM's end waiting.
        stopSplashJavaCalls(l);
        l.log.message("dest JVM");
        l.vm->functions->DestroyJavaVM(l.vm);
    }
    l.log.message("launch done");
    return true;
}

}  // namespace zendra
