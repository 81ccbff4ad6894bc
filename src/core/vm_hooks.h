// What the VM says while it is being created, and the report when it ends the process then.
#pragma once

#include <string>

#include "launcher.h"
#include "vm_init_args.h"

namespace zendra {

// Adds the "vfprintf" and "abort" hooks to the initialisation arguments. The VM's formatted
// output still reaches the stream it was meant for; while a creation is watched it is also
// kept, so that a VM that ends the process during its creation (a heap too small for it,
// for instance) is reported with string property 1005 and its own words.
void addVmHooks(VmInitArgs& init);

// Watches one creation through the hooks; the watch ends with this object.
class VmCreationWatch {
public:
    explicit VmCreationWatch(Launcher& l);
    ~VmCreationWatch();
    VmCreationWatch(const VmCreationWatch&) = delete;
    VmCreationWatch& operator=(const VmCreationWatch&) = delete;
    // What the VM printed since the watch began (at most a few kilobytes).
    std::string output() const;
};

// The text that tells of a VM that ended the process while it was being created: property
// 1005 with its "{0}" replaced by the VM's words, or (without a placeholder) followed by them
// after an empty line when they would not be seen otherwise (a message box).
std::string vmEndedText(const std::string& vmStartText, const std::string& vmOutput, bool messageBox);

}  // namespace zendra
