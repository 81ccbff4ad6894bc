#include "java_bridges.h"

#include "errors.h"
#include "paths.h"
#include "property_ids.h"

namespace zendra {

std::string firstRunMarkerPath(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    const std::string dir = getFullPath(l, l.store.getProperty(prop::installationDirectory), true);
    return joinPath(conv, joinPath(conv, dir, ".quillon"), "firstrun");
}

bool checkFirstRun(Launcher& l) {
    if (!pathExists(l, firstRunMarkerPath(l))) return true;
    JNIEnv* env = l.env;
    jclass firstRun = env->functions->FindClass(env, "com/quillon/runtime/launcher/FirstRun");
    if (firstRun == nullptr) fatalPropertyWithArgument(l, prop::errorInternal, "14");
    jmethodID method = env->functions->GetStaticMethodID(env, firstRun, "firstRun", "()Z");
    if (method == nullptr) fatalPropertyWithArgument(l, prop::errorInternal, "15");
    const jboolean goOn = env->functions->CallStaticBooleanMethod(env, firstRun, method);
    if (env->functions->ExceptionOccurred(env) != nullptr) {
        env->functions->ExceptionDescribe(env);
        return false;
    }
    return goOn != JNI_FALSE;
}

JNIEnv* attachController(Launcher& l, ControllerHandles& handles) {
    if (!l.jvmCreated) return nullptr;
    JavaVM* vm = l.vm;
    JNIEnv* env = nullptr;
    // As a daemon: DestroyJavaVM at the application's end must not wait for the splash thread.
    if (vm->functions->AttachCurrentThreadAsDaemon(vm, reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
        return nullptr;
    }
    handles = ControllerHandles{};
    handles.env = env;
    handles.controllerClass = env->functions->FindClass(env, "com/zendra/runtime/ZendraController");
    if (handles.controllerClass == nullptr) return env;
    handles.getAction = env->functions->GetStaticMethodID(env, handles.controllerClass, "getAction", "()I");
    handles.getText = env->functions->GetStaticMethodID(env, handles.controllerClass, "getText", "()Ljava/lang/String;");
    return env;
}

namespace {

// Whether the last call left an exception; it is then printed (and so cleared), because the
// polling thread must not make further JNI calls with an exception pending.
bool describeException(JNIEnv* env) {
    if (!env->functions->ExceptionCheck(env)) return false;
    env->functions->ExceptionDescribe(env);
    return true;
}

}  // namespace

jint controllerAction(const ControllerHandles& handles) {
    JNIEnv* env = handles.env;
    const jint action = env->functions->CallStaticIntMethod(env, handles.controllerClass, handles.getAction);
    return describeException(env) ? 0 : action;
}

std::optional<std::u16string> controllerText(const ControllerHandles& handles) {
    JNIEnv* env = handles.env;
    auto text = static_cast<jstring>(env->functions->CallStaticObjectMethod(env, handles.controllerClass, handles.getText));
    if (describeException(env) || text == nullptr) return std::nullopt;
    std::optional<std::u16string> copy;
    if (const jchar* chars = env->functions->GetStringChars(env, text, nullptr); chars != nullptr) {
        const jsize length = env->functions->GetStringLength(env, text);
        copy.emplace(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(length < 0 ? 0 : length));
        env->functions->ReleaseStringChars(env, text, chars);
    }
    // The polling thread stays attached; without this each poll would keep its string alive.
    env->functions->DeleteLocalRef(env, text);
    return copy;
}

void detachController(Launcher& l, ControllerHandles& handles) {
    if (l.jvmCreated && handles.env != nullptr) l.vm->functions->DetachCurrentThread(l.vm);
    handles = ControllerHandles{};
}

}  // namespace zendra
