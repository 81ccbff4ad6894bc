/* The JNIEnv functions of the jvm.dll double: classes, static methods, string arrays,
 * strings, static calls and exceptions, as far as a launcher uses them. What the calls do is
 * set by the scenario (jvm_double.c). Recorded events (payload after the event name):
 *   FindClass <name>                            GetStaticMethodID <class> <name> <signature>
 *   NewObjectArray <length> <class> <null|non-null initial element>
 *   CallStatic<Void|Boolean|Int|Object>Method <class> <name> <signature>
 *   arg <UTF-8 text>   (one per element of main's String[]; "argNull" for a null element)
 *   exit <code>        (just before main ends the process)
 *   ExceptionOccurred <0|1>, ExceptionCheck <0|1>, ExceptionDescribe, ExceptionClear
 * Every other JNIEnv slot records a fault and ends the process with code 70. */
#include "jvm_double.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static SRWLOCK objectsLock = SRWLOCK_INIT;
static struct _jobject* objects;
static struct _jmethodID* methods;
static DWORD pendingSlot = TLS_OUT_OF_INDEXES;
static volatile LONG charsHeld;

/* A new object of a kind, with a copy of name (may be null). */
static jobject newObject(enum ObjectKind kind, const char* name) {
    jobject object = allocate(sizeof *object);
    object->kind = kind;
    object->name = name ? copyText(name) : NULL;
    AcquireSRWLockExclusive(&objectsLock);
    object->next = objects;
    objects = object;
    ReleaseSRWLockExclusive(&objectsLock);
    return object;
}

/* Whether a handle is an object of the double and of the kind (any kind: -1). */
static int isObject(jobject handle, int kind) {
    int found = 0;
    AcquireSRWLockShared(&objectsLock);
    for (jobject o = objects; o != NULL && !found; o = o->next) found = o == handle && (kind < 0 || (int)o->kind == kind);
    ReleaseSRWLockShared(&objectsLock);
    return found;
}

static int isMethod(jmethodID handle) {
    int found = 0;
    AcquireSRWLockShared(&objectsLock);
    for (jmethodID m = methods; m != NULL && !found; m = m->next) found = m == handle;
    ReleaseSRWLockShared(&objectsLock);
    return found;
}

/* The calling thread's pending exception, or null. */
static jthrowable pending(void) {
    return pendingSlot == TLS_OUT_OF_INDEXES ? NULL : TlsGetValue(pendingSlot);
}

static void setPending(jthrowable exception) {
    TlsSetValue(pendingSlot, exception);
}

/* Records a fault "<function>: <problem>". */
static void fault(const char* function, const char* problem) {
    char text[200];
    snprintf(text, sizeof text, "%s: %s", function, problem);
    recordFault(text);
}

/* Checks the calling thread and, unless allowed, that no exception is pending. */
static void enter(const char* function, int pendingAllowed) {
    if (!threadIsAttached()) fault(function, "thread not attached");
    if (!pendingAllowed && pending() != NULL) fault(function, "exception pending");
}

/* Checks a handle: true when it is an object of the kind, else records a fault. */
static int expect(const char* function, jobject handle, enum ObjectKind kind) {
    static const char* const kinds[] = {"a class", "a string", "an array", "a throwable"};
    if (isObject(handle, (int)kind)) return 1;
    char problem[64];
    snprintf(problem, sizeof problem, "handle %p is not %s", (void*)handle, kinds[kind]);
    fault(function, problem);
    return 0;
}

/* Makes an exception pending; its stack trace names the place where it was thrown. */
static void throwNew(const char* exception, const char* place) {
    char trace[600];
    snprintf(trace, sizeof trace, "Exception in thread \"main\" %.250s\r\n\tat %.250s(Native Method)\r\n", exception,
             place);
    setPending(newObject(KIND_THROWABLE, trace));
}

/* Records an event whose payload is the given texts joined by spaces. */
static void recordJoined(const char* event, const char* a, const char* b, const char* c) {
    char* text = allocate(strlen(a) + strlen(b) + strlen(c) + 3);
    snprintf(text, strlen(a) + strlen(b) + strlen(c) + 3, "%s %s %s", a, b, c);
    recordText(event, text);
    HeapFree(GetProcessHeap(), 0, text);
}

static jint JNICALL getVersion(JNIEnv* env) {
    (void)env;
    return JNI_VERSION_10;
}

/* The class object of a name, the same object for every lookup of the name. */
static jclass classNamed(const char* name) {
    AcquireSRWLockShared(&objectsLock);
    jclass found = NULL;
    for (jobject o = objects; o != NULL && found == NULL; o = o->next)
        if (o->kind == KIND_CLASS && strcmp(o->name, name) == 0) found = o;
    ReleaseSRWLockShared(&objectsLock);
    return found ? found : newObject(KIND_CLASS, name);
}

static jclass JNICALL findClass(JNIEnv* env, const char* name) {
    (void)env;
    enter("FindClass", 0);
    if (name == NULL) {
        fault("FindClass", "no name");
        return NULL;
    }
    recordText("FindClass", name);
    const char* missing = scenario.missingClass;
    if (strcmp(missing, "*") == 0 ? strcmp(name, "java/lang/String") != 0 : strcmp(missing, name) == 0) {
        char exception[300];
        snprintf(exception, sizeof exception, "java.lang.NoClassDefFoundError: %.250s", name);
        throwNew(exception, "java.lang.ClassLoader.loadClass");
        return NULL;
    }
    return classNamed(name);
}

static jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass clazz, const char* name, const char* signature) {
    (void)env;
    enter("GetStaticMethodID", 0);
    if (!expect("GetStaticMethodID", clazz, KIND_CLASS)) return NULL;
    if (name == NULL || signature == NULL) {
        fault("GetStaticMethodID", "no name or signature");
        return NULL;
    }
    recordJoined("GetStaticMethodID", clazz->name, name, signature);
    const char* missing = scenario.missingMethod;
    if (strcmp(missing, "*") == 0 || strcmp(missing, name) == 0) {
        char exception[300];
        snprintf(exception, sizeof exception, "java.lang.NoSuchMethodError: %.250s", name);
        throwNew(exception, clazz->name);
        return NULL;
    }
    jmethodID method = allocate(sizeof *method);
    method->owner = clazz;
    method->name = copyText(name);
    method->signature = copyText(signature);
    AcquireSRWLockExclusive(&objectsLock);
    method->next = methods;
    methods = method;
    ReleaseSRWLockExclusive(&objectsLock);
    return method;
}

static jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass clazz, jobject initial) {
    (void)env;
    enter("NewObjectArray", 0);
    if (!expect("NewObjectArray", clazz, KIND_CLASS)) return NULL;
    char count[24];
    snprintf(count, sizeof count, "%ld", (long)length);
    recordJoined("NewObjectArray", count, clazz->name, initial ? "non-null" : "null");
    if (length < 0) {
        fault("NewObjectArray", "negative length");
        return NULL;
    }
    jobjectArray array = newObject(KIND_ARRAY, clazz->name);
    array->length = length;
    array->elements = allocate(sizeof(jobject) * (size_t)length);
    for (jsize i = 0; i < length; ++i) array->elements[i] = initial;
    return array;
}

static jstring JNICALL newString(JNIEnv* env, const jchar* chars, jsize length) {
    (void)env;
    enter("NewString", 0);
    if (length < 0 || (chars == NULL && length > 0)) {
        fault("NewString", "bad characters or length");
        return NULL;
    }
    jstring string = newObject(KIND_STRING, NULL);
    string->length = length;
    string->chars = allocate(sizeof(jchar) * ((size_t)length + 1));
    if (length > 0) memcpy(string->chars, chars, sizeof(jchar) * (size_t)length);
    return string;
}

static void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    (void)env;
    enter("SetObjectArrayElement", 0);
    if (!expect("SetObjectArrayElement", array, KIND_ARRAY)) return;
    if (value != NULL && !isObject(value, -1)) fault("SetObjectArrayElement", "foreign value");
    if (index < 0 || index >= array->length) {
        fault("SetObjectArrayElement", "index out of range");
        throwNew("java.lang.ArrayIndexOutOfBoundsException", "SetObjectArrayElement");
        return;
    }
    array->elements[index] = value;
}

static jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
    (void)env;
    enter("GetArrayLength", 0);
    return expect("GetArrayLength", array, KIND_ARRAY) ? array->length : 0;
}

/* The service scenario's main: reads standard input until the line "0" or its end. */
static void awaitShutdownLine(void) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char line[256];
    size_t used = 0;
    char c;
    DWORD read = 0;
    while (ReadFile(input, &c, 1, &read, NULL) && read == 1) {
        if (c != '\n') {
            if (used < sizeof line - 1) line[used++] = c;
            continue;
        }
        if (used > 0 && line[used - 1] == '\r') --used;
        line[used] = '\0';
        recordText("stdin", line);
        if (strcmp(line, "0") == 0) return;
        used = 0;
    }
    recordText("stdin-end", NULL);
}

/* main: records its arguments, then returns, throws or ends the process. */
static void runMain(jclass clazz, jobject arguments) {
    if (!expect("main", arguments, KIND_ARRAY)) return;
    for (jsize i = 0; i < arguments->length; ++i) {
        jobject element = arguments->elements[i];
        if (element == NULL)
            recordText("argNull", NULL);
        else if (expect("main argument", element, KIND_STRING))
            recordUtf16("arg", element->chars, element->length);
    }
    if (scenario.service) awaitShutdownLine();
    if (scenario.mainSleepMs > 0) Sleep((DWORD)scenario.mainSleepMs);
    if (scenario.main == MAIN_EXITS) {
        char code[24];
        snprintf(code, sizeof code, "%d", scenario.exitCode);
        recordText("exit", code);
        ExitProcess((UINT)scenario.exitCode);
    }
    if (scenario.main == MAIN_THROWS) {
        char place[300];
        snprintf(place, sizeof place, "%.200s.main", clazz->name);
        for (char* c = place; *c; ++c)
            if (*c == '/') *c = '.';
        throwNew("java.lang.IllegalStateException: thrown by main", place);
    }
}

/* The return type letter of a method signature ('L' also for arrays). */
static char returnKind(const char* signature) {
    const char* close = strchr(signature, ')');
    return close == NULL ? '?' : close[1] == '[' ? 'L' : close[1];
}

/* A static call of any return type; kind is 'V', 'Z', 'I' or 'L', argument the first
 * argument when the method takes an object. */
static jvalue staticCall(const char* function, char kind, jclass clazz, jmethodID method, jobject argument) {
    jvalue result;
    memset(&result, 0, sizeof result);
    enter(function, 0);
    if (!expect(function, clazz, KIND_CLASS)) return result;
    if (!isMethod(method)) {
        fault(function, "unknown method id");
        return result;
    }
    recordJoined(function, clazz->name, method->name, method->signature);
    if (method->owner != clazz) fault(function, "method of another class");
    if (returnKind(method->signature) != kind) fault(function, "return type differs from the signature");
    if (strcmp(method->name, "main") == 0 && strcmp(method->signature, "([Ljava/lang/String;)V") == 0) {
        runMain(clazz, argument);
    } else if (kind == 'Z') {
        result.z = scenario.firstRunResult == 1 ? JNI_TRUE : JNI_FALSE;
        if (scenario.firstRunResult < 0) throwNew("java.lang.RuntimeException: thrown by firstRun", method->name);
    } else if (kind == 'I') {
        result.i = scenario.action;
    } else if (kind == 'L' && scenario.text[0] != '\0') {
        jstring text = newObject(KIND_STRING, NULL);
        text->length = MultiByteToWideChar(CP_UTF8, 0, scenario.text, -1, NULL, 0) - 1;
        text->chars = allocate(sizeof(jchar) * ((size_t)text->length + 1));
        MultiByteToWideChar(CP_UTF8, 0, scenario.text, -1, (LPWSTR)text->chars, text->length + 1);
        result.l = text;
    }
    return result;
}

/* The object argument of a method taking one ("(L..." or "([..."), else null. */
static jobject objectArgument(jmethodID method, va_list* list) {
    if (!isMethod(method) || (strncmp(method->signature, "(L", 2) != 0 && strncmp(method->signature, "([", 2) != 0))
        return NULL;
    return va_arg(*list, jobject);
}

static jobject arrayArgument(jmethodID method, const jvalue* args) {
    if (args == NULL || !isMethod(method) || method->signature[1] == ')') return NULL;
    return args[0].l;
}

/* The three call forms (variadic, va_list, jvalue array) of one return type. */
#define STATIC_CALLS(Name, Type, field, kind)                                                                  \
    static Type JNICALL callStatic##Name(JNIEnv* env, jclass c, jmethodID m, ...) {                            \
        va_list list;                                                                                          \
        va_start(list, m);                                                                                     \
        jobject argument = objectArgument(m, &list);                                                           \
        va_end(list);                                                                                          \
        (void)env;                                                                                             \
        return staticCall("CallStatic" #Name, kind, c, m, argument).field;                                     \
    }                                                                                                          \
    static Type JNICALL callStatic##Name##V(JNIEnv* env, jclass c, jmethodID m, va_list list) {                \
        (void)env;                                                                                             \
        va_list copy;                                                                                          \
        va_copy(copy, list);                                                                                   \
        jobject argument = objectArgument(m, &copy);                                                           \
        va_end(copy);                                                                                          \
        return staticCall("CallStatic" #Name, kind, c, m, argument).field;                                     \
    }                                                                                                          \
    static Type JNICALL callStatic##Name##A(JNIEnv* env, jclass c, jmethodID m, const jvalue* args) {          \
        (void)env;                                                                                             \
        return staticCall("CallStatic" #Name, kind, c, m, arrayArgument(m, args)).field;                        \
    }

STATIC_CALLS(BooleanMethod, jboolean, z, 'Z')
STATIC_CALLS(IntMethod, jint, i, 'I')
STATIC_CALLS(ObjectMethod, jobject, l, 'L')
static void JNICALL callStaticVoidMethod(JNIEnv* env, jclass c, jmethodID m, ...) {
    va_list list;
    va_start(list, m);
    jobject argument = objectArgument(m, &list);
    va_end(list);
    (void)env;
    staticCall("CallStaticVoidMethod", 'V', c, m, argument);
}

static void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass c, jmethodID m, va_list list) {
    (void)env;
    va_list copy;
    va_copy(copy, list);
    jobject argument = objectArgument(m, &copy);
    va_end(copy);
    staticCall("CallStaticVoidMethod", 'V', c, m, argument);
}

static void JNICALL callStaticVoidMethodA(JNIEnv* env, jclass c, jmethodID m, const jvalue* args) {
    (void)env;
    staticCall("CallStaticVoidMethod", 'V', c, m, arrayArgument(m, args));
}

static jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
    (void)env;
    enter("ExceptionOccurred", 1);
    recordText("ExceptionOccurred", pending() ? "1" : "0");
    return pending();
}

/* Prints the pending exception's stack trace to standard error and clears it, as the VM does. */
static void JNICALL exceptionDescribe(JNIEnv* env) {
    (void)env;
    enter("ExceptionDescribe", 1);
    recordText("ExceptionDescribe", NULL);
    const jthrowable exception = pending();
    if (exception == NULL) return;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), exception->name, (DWORD)strlen(exception->name), &written, NULL);
    setPending(NULL);
}

static void JNICALL exceptionClear(JNIEnv* env) {
    (void)env;
    enter("ExceptionClear", 1);
    recordText("ExceptionClear", NULL);
    setPending(NULL);
}

static jboolean JNICALL exceptionCheck(JNIEnv* env) {
    (void)env;
    enter("ExceptionCheck", 1);
    recordText("ExceptionCheck", pending() ? "1" : "0");
    return pending() ? JNI_TRUE : JNI_FALSE;
}

static jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
    (void)env;
    enter("GetStringLength", 0);
    return expect("GetStringLength", string, KIND_STRING) ? string->length : 0;
}

static const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    (void)env;
    enter("GetStringChars", 0);
    if (!expect("GetStringChars", string, KIND_STRING)) return NULL;
    if (isCopy != NULL) *isCopy = JNI_FALSE;
    InterlockedIncrement(&charsHeld);
    return string->chars;
}

static void JNICALL releaseStringChars(JNIEnv* env, jstring string, const jchar* chars) {
    (void)env;
    enter("ReleaseStringChars", 1);
    if (!expect("ReleaseStringChars", string, KIND_STRING)) return;
    if (chars != string->chars || InterlockedDecrement(&charsHeld) < 0) fault("ReleaseStringChars", "characters not held");
}

/* Local and global references: the double's objects never move or die. */
static void JNICALL deleteRef(JNIEnv* env, jobject object) {
    (void)env;
    enter("DeleteRef", 1);
    if (object != NULL && !isObject(object, -1)) fault("DeleteRef", "foreign handle");
}

static jobject JNICALL newRef(JNIEnv* env, jobject object) {
    (void)env;
    enter("NewRef", 0);
    return object;
}

/* Every JNIEnv function the double does not implement. */
static void JNICALL unexpectedCall(void) {
    recordFault("call of a JNI function the double does not implement");
    ExitProcess(70);
}

static struct JNINativeInterface_ envTable = {
    .GetVersion = getVersion,
    .FindClass = findClass,
    .GetStaticMethodID = getStaticMethodID,
    .NewObjectArray = newObjectArray,
    .NewString = newString,
    .SetObjectArrayElement = setObjectArrayElement,
    .GetArrayLength = getArrayLength,
    .CallStaticVoidMethod = callStaticVoidMethod,
    .CallStaticVoidMethodV = callStaticVoidMethodV,
    .CallStaticVoidMethodA = callStaticVoidMethodA,
    .CallStaticBooleanMethod = callStaticBooleanMethod,
    .CallStaticBooleanMethodV = callStaticBooleanMethodV,
    .CallStaticBooleanMethodA = callStaticBooleanMethodA,
    .CallStaticIntMethod = callStaticIntMethod,
    .CallStaticIntMethodV = callStaticIntMethodV,
    .CallStaticIntMethodA = callStaticIntMethodA,
    .CallStaticObjectMethod = callStaticObjectMethod,
    .CallStaticObjectMethodV = callStaticObjectMethodV,
    .CallStaticObjectMethodA = callStaticObjectMethodA,
    .ExceptionOccurred = exceptionOccurred,
    .ExceptionDescribe = exceptionDescribe,
    .ExceptionClear = exceptionClear,
    .ExceptionCheck = exceptionCheck,
    .GetStringLength = getStringLength,
    .GetStringChars = getStringChars,
    .ReleaseStringChars = releaseStringChars,
    .DeleteLocalRef = deleteRef,
    .DeleteGlobalRef = deleteRef,
    .NewLocalRef = newRef,
    .NewGlobalRef = newRef,
};
static JNIEnv theEnv = &envTable;

JNIEnv* doubleEnv(void) {
    static int filled;
    if (!filled) {
        pendingSlot = TlsAlloc();
        void(JNICALL * trap)(void) = unexpectedCall;
        unsigned char* slots = (unsigned char*)&envTable;
        for (size_t at = 4 * sizeof(void*); at + sizeof trap <= sizeof envTable; at += sizeof trap) {
            void* slot;
            memcpy(&slot, slots + at, sizeof slot);
            if (slot == NULL) memcpy(slots + at, &trap, sizeof trap);
        }
        filled = 1;
    }
    return &theEnv;
}
