// Creating the Java VM in the launcher's own process and calling the launcher class's main.
//
// All JNI calls go through the function tables of the JavaVM and JNIEnv that the VM hands
// out; nothing links against a VM library. A VM (or a test double of one) must provide:
//   JNI_CreateJavaVM (l.createJavaVm);
//   JavaVM: DestroyJavaVM, AttachCurrentThreadAsDaemon, DetachCurrentThread;
//   JNIEnv: FindClass, GetStaticMethodID, NewObjectArray, NewString, SetObjectArrayElement,
//           CallStaticVoidMethod, CallStaticBooleanMethod, CallStaticIntMethod,
//           CallStaticObjectMethod (the variadic forms), ExceptionOccurred, ExceptionDescribe,
//           GetStringChars, GetStringLength, ReleaseStringChars.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// The whole launch. Needs l.createJavaVm (the JNI_CreateJavaVM export that LoadDLL finds, or
// any function of that signature set by a test) and the configuration in l.store; arguments
// is the process command line split by splitCommandLine (element 0 the program). Builds the
// system properties and VM options, creates the VM (l.vm, l.env, l.jvmCreated), calls main of
// the launcher class and, with destroyAfterMain, DestroyJavaVM (which waits for the
// application's non-daemon threads). True: main returned without a pending exception, or the
// first-run hook stopped the launch. False: the VM could not be created, or main ended with an
// exception (its stack trace is on standard error). A missing launcher class or main method
// ends the process (string properties 1010 / 1011, exit code 1); System.exit in the
// application ends it from inside the VM.
bool launchProgram(Launcher& l, const ArgumentList& arguments, bool destroyAfterMain);

// Builds the initialisation arguments and calls JNI_CreateJavaVM; true when it returned 0.
// The arguments are kept in l.vmInitArgs.
bool createJVM(Launcher& l, const std::vector<std::string>& systemProperties, const ArgumentList& arguments);

// First-run hook, launcher class, its main and the argument array; false when main ended
// with an exception.
bool callMain(Launcher& l, const ArgumentList& arguments);

}  // namespace zendra
