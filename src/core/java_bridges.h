// Calls from the launcher into Java code of the application: the first-run hook on the
// launching thread, and the controller that the splash thread polls.
#pragma once

#include <jni.h>

#include <optional>
#include <string>

#include "launcher.h"

namespace zendra {

// The marker file whose existence asks for the first-run hook.
std::string firstRunMarkerPath(Launcher& l);

// Runs FirstRun.firstRun() on the launching thread (l.env) when the marker file exists;
// true: go on with the launch, false: stop (the method said so, or threw, with its stack
// trace on standard error). A missing class or method ends the process (string property
// 1009 with "14" / "15").
bool checkFirstRun(Launcher& l);

// One polling thread's view of the controller; owned by that thread.
struct ControllerHandles {
    JNIEnv* env = nullptr;            // the thread's environment once attached
    jclass controllerClass = nullptr; // none when the application has no controller
    jmethodID getAction = nullptr;    // static int getAction()
    jmethodID getText = nullptr;      // static String getText()

    // Whether the controller and both of its methods were found.
    bool usable() const { return controllerClass != nullptr && getAction != nullptr && getText != nullptr; }
};

// Attaches the calling thread to the process's VM and looks the controller up into handles;
// nullptr while no VM exists or when attaching fails (the caller asks again later).
JNIEnv* attachController(Launcher& l, ControllerHandles& handles);

// What the controller asks for (getAction); only for usable handles.
jint controllerAction(const ControllerHandles& handles);

// The controller's status text (getText) as a copy; none when it returned null.
std::optional<std::u16string> controllerText(const ControllerHandles& handles);

// Detaches the calling thread when it was attached to an existing VM; clears the handles.
void detachController(Launcher& l, ControllerHandles& handles);

}  // namespace zendra
