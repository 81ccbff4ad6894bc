#include "vm_init_args.h"

#include "class_path.h"
#include "vm_options.h"

namespace zendra {

std::vector<std::string> collectVmOptions(Launcher& l, std::vector<std::string> systemProperties,
                                          const ArgumentList& arguments) {
    OptionSink sink;
    sink.vmOptions = std::move(systemProperties);
    addConfiguredOptions(l, arguments, sink);
    readDefaultOptionFile(l, sink);
    sink.vmOptions.push_back(composeClassPath(l, sink));
    return std::move(sink.vmOptions);
}

VmInitArgs::VmInitArgs(std::vector<std::string> optionTexts)
    : options(std::move(optionTexts)), jniOptions(options.size()) {
    for (std::size_t i = 0; i < options.size(); ++i) jniOptions[i].optionString = options[i].data();
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(jniOptions.size());
    args.options = jniOptions.data();
    args.ignoreUnrecognized = JNI_TRUE;
}

void VmInitArgs::addHook(const char* name, void* function) {
    // First, so that the VM has its hooks before it reads (and may complain of) any option.
    // The VM only reads the option's text; JNI just declares it without const.
    jniOptions.insert(jniOptions.begin() + hooks_++, JavaVMOption{const_cast<char*>(name), function});
    args.nOptions = static_cast<jint>(jniOptions.size());
    args.options = jniOptions.data();
}

std::unique_ptr<VmInitArgs> buildVmInitArgs(Launcher& l, std::vector<std::string> systemProperties,
                                            const ArgumentList& arguments) {
    auto init = std::make_unique<VmInitArgs>(collectVmOptions(l, std::move(systemProperties), arguments));
    l.log.message("vmoption count %d", static_cast<int>(init->options.size()));
    for (std::size_t i = 0; i < init->options.size(); ++i)
        l.log.message("vmoption %d: %s", static_cast<int>(i), init->options[i].c_str());
    return init;
}

}  // namespace zendra
