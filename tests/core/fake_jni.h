// A scripted stand-in for a Java VM behind the JNI function tables: it records the options
// it was created with, the calls made through JNIEnv and JavaVM, and what main received.
#pragma once

#include <jni.h>

#include <cstdarg>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zendra::test {

// One VM per test; the function tables find it through FakeJvm::current.
class FakeJvm {
public:
    // What the VM does.
    jint createResult = JNI_OK;
    std::set<std::string> classes{"java/lang/String"};  // classes FindClass finds
    std::set<std::string> methods;                      // "class.name signature" found by GetStaticMethodID
    bool mainThrows = false;
    jboolean firstRunAnswer = JNI_TRUE;
    bool firstRunThrows = false;
    jint action = 0;
    std::optional<std::u16string> text;  // what getText returns (none: null)
    jint attachResult = JNI_OK;
    bool arrayFails = false;
    std::optional<long> stringFailsAt;  // NewString returns null on this call

    // What happened.
    std::vector<std::string> options;
    std::vector<std::string> hooks;  // the options that came with a function (extraInfo)
    jint version = 0;
    jboolean ignoreUnrecognized = JNI_FALSE;
    std::vector<std::string> calls;  // JNI operations in call order, with their key argument
    std::vector<std::u16string> mainArguments;
    bool exceptionPending = false;

    FakeJvm() {
        current = this;
        env_.functions = &envTable_;
        vm_.functions = &vmTable_;
        envTable_.FindClass = &findClass;
        envTable_.GetStaticMethodID = &getStaticMethodId;
        envTable_.NewObjectArray = &newObjectArray;
        envTable_.NewString = &newString;
        envTable_.SetObjectArrayElement = &setObjectArrayElement;
        envTable_.CallStaticVoidMethod = &callStaticVoid;
        envTable_.CallStaticBooleanMethod = &callStaticBoolean;
        envTable_.CallStaticIntMethod = &callStaticInt;
        envTable_.CallStaticObjectMethod = &callStaticObject;
        envTable_.ExceptionOccurred = &exceptionOccurred;
        envTable_.ExceptionDescribe = &exceptionDescribe;
        envTable_.ExceptionCheck = &exceptionCheck;
        envTable_.DeleteLocalRef = &deleteLocalRef;
        envTable_.GetStringChars = &getStringChars;
        envTable_.GetStringLength = &getStringLength;
        envTable_.ReleaseStringChars = &releaseStringChars;
        vmTable_.DestroyJavaVM = &destroy;
        vmTable_.AttachCurrentThread = &attach;
        vmTable_.AttachCurrentThreadAsDaemon = &attachDaemon;
        vmTable_.DetachCurrentThread = &detach;
    }
    ~FakeJvm() { current = nullptr; }
    FakeJvm(const FakeJvm&) = delete;
    FakeJvm& operator=(const FakeJvm&) = delete;

    // The JNI_CreateJavaVM export, as LoadDLL publishes it.
    static void* createEntry() { return reinterpret_cast<void*>(&create); }
    // The environment and VM it hands out.
    JNIEnv* env() { return &env_; }
    JavaVM* vm() { return &vm_; }
    // Makes the launcher class and its main findable.
    void withMain(const std::string& className) {
        classes.insert(className);
        methods.insert(className + ".main ([Ljava/lang/String;)V");
    }
    // How often an operation was called.
    long count(const std::string& call) const {
        long n = 0;
        for (const auto& c : calls) n += c == call ? 1 : 0;
        return n;
    }

    static inline FakeJvm* current = nullptr;

private:
    struct Method {
        std::string key;
    };
    struct Array {
        std::vector<jobject> elements;
    };

    static jint JNICALL create(JavaVM** vm, void** env, void* args) {
        FakeJvm& f = *current;
        const auto* init = static_cast<JavaVMInitArgs*>(args);
        f.version = init->version;
        f.ignoreUnrecognized = init->ignoreUnrecognized;
        for (jint i = 0; i < init->nOptions; ++i) {
            // An option with a function is one of the VM's hooks, not an option text.
            (init->options[i].extraInfo != nullptr ? f.hooks : f.options).emplace_back(init->options[i].optionString);
        }
        f.calls.push_back("JNI_CreateJavaVM");
        if (f.createResult != JNI_OK) return f.createResult;
        *vm = &f.vm_;
        *env = &f.env_;
        return JNI_OK;
    }
    static jclass JNICALL findClass(JNIEnv*, const char* name) {
        FakeJvm& f = *current;
        f.calls.push_back(std::string("FindClass ") + name);
        if (f.classes.count(name) == 0) {
            f.exceptionPending = true;
            return nullptr;
        }
        return reinterpret_cast<jclass>(const_cast<std::string*>(&*f.classNames_.insert(name).first));
    }
    static const std::string& nameOf(jclass c) { return *reinterpret_cast<const std::string*>(c); }
    static jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass c, const char* name, const char* sig) {
        FakeJvm& f = *current;
        const std::string key = nameOf(c) + "." + name + " " + sig;
        f.calls.push_back("GetStaticMethodID " + key);
        if (f.methods.count(key) == 0) return nullptr;
        f.methodIds_.push_back(Method{key});
        return reinterpret_cast<jmethodID>(&f.methodIds_.back());
    }
    static const std::string& keyOf(jmethodID m) { return reinterpret_cast<const Method*>(m)->key; }
    static jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass c, jobject init) {
        FakeJvm& f = *current;
        f.calls.push_back("NewObjectArray " + nameOf(c));
        if (f.arrayFails || init != nullptr) return nullptr;
        f.arrays_.push_back(Array{std::vector<jobject>(static_cast<std::size_t>(length), nullptr)});
        return reinterpret_cast<jobjectArray>(&f.arrays_.back());
    }
    static jstring JNICALL newString(JNIEnv*, const jchar* chars, jsize length) {
        FakeJvm& f = *current;
        f.calls.push_back("NewString");
        if (f.stringFailsAt && *f.stringFailsAt == f.count("NewString") - 1) return nullptr;
        f.strings_.emplace_back(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(length));
        return reinterpret_cast<jstring>(&f.strings_.back());
    }
    static void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray a, jsize i, jobject value) {
        current->calls.push_back("SetObjectArrayElement");
        reinterpret_cast<Array*>(a)->elements.at(static_cast<std::size_t>(i)) = value;
    }
    static void JNICALL callStaticVoid(JNIEnv*, jclass, jmethodID m, ...) {
        FakeJvm& f = *current;
        f.calls.push_back("CallStaticVoidMethod " + keyOf(m));
        va_list ap;
        va_start(ap, m);
        auto* array = reinterpret_cast<Array*>(va_arg(ap, jobjectArray));
        va_end(ap);
        for (jobject element : array->elements)
            f.mainArguments.push_back(element ? *reinterpret_cast<std::u16string*>(element) : u"<null>");
        if (f.mainThrows) f.exceptionPending = true;
    }
    static jboolean JNICALL callStaticBoolean(JNIEnv*, jclass, jmethodID m, ...) {
        FakeJvm& f = *current;
        f.calls.push_back("CallStaticBooleanMethod " + keyOf(m));
        if (f.firstRunThrows) f.exceptionPending = true;
        return f.firstRunAnswer;
    }
    static jint JNICALL callStaticInt(JNIEnv*, jclass, jmethodID m, ...) {
        current->calls.push_back("CallStaticIntMethod " + keyOf(m));
        return current->action;
    }
    static jobject JNICALL callStaticObject(JNIEnv*, jclass, jmethodID m, ...) {
        FakeJvm& f = *current;
        f.calls.push_back("CallStaticObjectMethod " + keyOf(m));
        if (!f.text) return nullptr;
        f.strings_.push_back(*f.text);
        return reinterpret_cast<jobject>(&f.strings_.back());
    }
    static jthrowable JNICALL exceptionOccurred(JNIEnv*) {
        current->calls.push_back("ExceptionOccurred");
        static int throwable = 0;
        return current->exceptionPending ? reinterpret_cast<jthrowable>(&throwable) : nullptr;
    }
    static jboolean JNICALL exceptionCheck(JNIEnv*) {
        current->calls.push_back("ExceptionCheck");
        return current->exceptionPending ? JNI_TRUE : JNI_FALSE;
    }
    static void JNICALL deleteLocalRef(JNIEnv*, jobject) { current->calls.push_back("DeleteLocalRef"); }
    static void JNICALL exceptionDescribe(JNIEnv*) {
        current->calls.push_back("ExceptionDescribe");
        current->exceptionPending = false;
    }
    static const jchar* JNICALL getStringChars(JNIEnv*, jstring s, jboolean*) {
        current->calls.push_back("GetStringChars");
        return reinterpret_cast<const jchar*>(reinterpret_cast<std::u16string*>(s)->c_str());
    }
    static jsize JNICALL getStringLength(JNIEnv*, jstring s) {
        return static_cast<jsize>(reinterpret_cast<std::u16string*>(s)->size());
    }
    static void JNICALL releaseStringChars(JNIEnv*, jstring, const jchar*) { current->calls.push_back("ReleaseStringChars"); }
    static jint JNICALL destroy(JavaVM*) {
        current->calls.push_back("DestroyJavaVM");
        return JNI_OK;
    }
    static jint JNICALL attach(JavaVM*, void** env, void* args) {
        FakeJvm& f = *current;
        f.calls.push_back(args == nullptr ? "AttachCurrentThread" : "AttachCurrentThread with arguments");
        if (f.attachResult != JNI_OK) return f.attachResult;
        *env = &f.env_;
        return JNI_OK;
    }
    static jint JNICALL attachDaemon(JavaVM*, void** env, void* args) {
        FakeJvm& f = *current;
        f.calls.push_back(args == nullptr ? "AttachCurrentThreadAsDaemon" : "AttachCurrentThreadAsDaemon with arguments");
        if (f.attachResult != JNI_OK) return f.attachResult;
        *env = &f.env_;
        return JNI_OK;
    }
    static jint JNICALL detach(JavaVM*) {
        current->calls.push_back("DetachCurrentThread");
        return JNI_OK;
    }

    JNINativeInterface_ envTable_{};
    JNIInvokeInterface_ vmTable_{};
    JNIEnv env_{};
    JavaVM vm_{};
    std::set<std::string> classNames_;
    std::deque<Method> methodIds_;
    std::deque<Array> arrays_;
    std::deque<std::u16string> strings_;
};

}  // namespace zendra::test
