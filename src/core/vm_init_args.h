// The VM option list and the JNI initialisation arguments built from it.
#pragma once

#include <jni.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// Every VM option in the order the VM receives it: the system properties, the options of
// property 123, the "-J" arguments (property 125), the locale options, the lines of the
// default option file, and last the single "-Djava.class.path=" option.
std::vector<std::string> collectVmOptions(Launcher& l, std::vector<std::string> systemProperties,
                                          const ArgumentList& arguments);

// The initialisation arguments with the option texts they point into; not copyable, so the
// pointers stay valid for as long as the object lives.
struct VmInitArgs {
    std::vector<std::string> options;        // the option texts
    std::vector<JavaVMOption> jniOptions;    // one per text, extraInfo null
    JavaVMInitArgs args{};                   // JNI_VERSION_1_2, ignoreUnrecognized true

    explicit VmInitArgs(std::vector<std::string> optionTexts);
    // Adds one of the VM's hook options ("vfprintf", "exit", "abort") with its function, after
    // the hooks added before and ahead of every option text; hooks are not logged.
    void addHook(const char* name, void* function);
    VmInitArgs(const VmInitArgs&) = delete;
    VmInitArgs& operator=(const VmInitArgs&) = delete;

private:
    std::ptrdiff_t hooks_ = 0;  // hook options at the front of jniOptions
};

// collectVmOptions turned into initialisation arguments, each option logged.
std::unique_ptr<VmInitArgs> buildVmInitArgs(Launcher& l, std::vector<std::string> systemProperties,
                                            const ArgumentList& arguments);

}  // namespace zendra
