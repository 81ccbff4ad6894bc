/* Shared declarations of the jvm.dll double (jvm_double.c: entry, scenario, record and the
 * invocation interface; jvm_double_env.c: the JNIEnv functions). Test-only code. */
#ifndef ZENDRA_JVM_DOUBLE_H
#define ZENDRA_JVM_DOUBLE_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <stddef.h>

/* What a handle of the double stands for. */
enum ObjectKind { KIND_CLASS, KIND_STRING, KIND_ARRAY, KIND_THROWABLE };

/* Every jobject the double hands out; objects live until the process ends. */
struct _jobject {
    enum ObjectKind kind;
    struct _jobject* next;     /* list of all objects, to recognise foreign handles */
    char* name;                /* class: slash form; throwable: "class: message" */
    jsize length;              /* string: code units; array: elements */
    jchar* chars;              /* string contents, zero-terminated */
    struct _jobject** elements; /* array elements, null until set */
};

/* A static method found by GetStaticMethodID. */
struct _jmethodID {
    struct _jmethodID* next;
    jclass owner;
    char* name;
    char* signature;
};

/* How main ends. */
enum MainOutcome { MAIN_RETURNS, MAIN_EXITS, MAIN_THROWS };

/* The behaviour selected for this process (see jvm_double.c for the words). */
struct Scenario {
    int failCreate;
    char missingClass[256];  /* "" none, "*" every class but java/lang/String */
    char missingMethod[128]; /* "" none, "*" every method */
    enum MainOutcome main;
    int exitCode;
    int mainSleepMs;         /* main sleeps this long before it ends (a running application) */
    int firstRunResult;      /* 1 true, 0 false, -1 throws */
    jint action;
    char text[256];          /* getText's result; "" gives null */
    char awaitFile[512];     /* JNI_CreateJavaVM waits until this file exists; "" for none */
    int service;             /* main first waits for the shutdown line "0" on standard input */
    char recordFile[512];    /* the record when ZENDRA_JVM_DOUBLE_RECORD is unset; "" for none */
};

/* The scenario read at VM creation. */
extern struct Scenario scenario;

/* Appends "<event> <payload>" and LF to the record (payload escaped, see recordBytes). */
void recordBytes(const char* event, const char* payload, size_t length);
/* recordBytes with a zero-terminated payload (none when payload is null). */
void recordText(const char* event, const char* payload);
/* recordBytes with UTF-16 converted to UTF-8 (lone surrogates as escaped 3-byte forms). */
void recordUtf16(const char* event, const jchar* chars, jsize length);
/* Records "fault <text>": a misuse of JNI by the caller, which tests treat as a failure. */
void recordFault(const char* text);

/* Whether the calling thread created the VM or is attached to it. */
int threadIsAttached(void);

/* The JNIEnv every attached thread gets (one table; the double keeps no per-thread state). */
JNIEnv* doubleEnv(void);

/* A zeroed block from the process heap; the double never frees. */
void* allocate(size_t size);
/* A heap copy of a zero-terminated text. */
char* copyText(const char* text);

#endif
