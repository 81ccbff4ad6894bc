#include "pack_init.h"

#include <cctype>

#include "ansi_text.h"
#include "pack_json.h"

namespace zendra::pack {
namespace {

std::string slugOf(const std::string& name) {
    std::string slug;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && std::isalnum(byte)) slug.push_back(static_cast<char>(std::tolower(byte)));
    }
    if (slug.empty() || std::isdigit(static_cast<unsigned char>(slug.front()))) slug.insert(0, "app");
    return slug;
}

// The first code page, in the order of how widely they are used, that can hold text.
std::uint32_t codePageFor(const std::string& text) {
    for (std::uint32_t codePage : {1252u, 1250u, 1251u, 1253u, 1254u, 1257u, 932u, 936u, 949u, 950u, 874u, 1255u, 1256u,
                                   1258u}) {
        try {
            toCodePage(text, codePage);
            return codePage;
        } catch (const PackError&) {
        }
    }
    return kUtf8CodePage;
}

}  // namespace

std::string initialDescription(const std::string& name) {
    if (name.empty()) throw PackError("--init needs the application's name");
    const std::string slug = slugOf(name);
    Json strings = {
        {"applicationName", name},
        {"launcherType", 1},
        {"classPath", "A1" + slug + ".jar"},
        {"launchText", "com.example." + slug + ".Main"},
        {"minJavaVersion", "11"},
        {"maxJavaVersion", ""},
        {"searchSequence", "EJAVA_HOME;S;Y"},
        {"acceptJavaArguments", 1},
        {"singleInstance", 0},
        {"splashScreen", 0},
        {"errorCaption", name},
        {"errorVmStart", name + " could not start its Java virtual machine."},
        {"errorClassPathEntry", "A required file is missing: {0}"},
        {"errorClassPathVariable", "The environment variable {0} must be set."},
        {"errorInternal", name + " failed with internal error {0}."},
        {"errorMainClass", "The main class of " + name + " was not found."},
        {"errorMainMethod", "The main method of " + name + " was not found."},
        {"errorNoTempDir", "No writable temporary directory was found."},
        {"errorNoJvm", "No suitable {0}-bit Java runtime (11 or newer) was found. Please install one or set JAVA_HOME."},
        {"errorJvmSource64", "The Java runtime named by {0} could not be loaded."},
        {"errorJvmPath64", "The Java runtime at {0} could not be loaded."},
    };
    Json root = {{"integrity", true}, {"codePage", codePageFor(name)}, {"strings", std::move(strings)},
                 {"messages", {{"msgCaption", name}}}, {"resources", Json::object()}};
    return root.dump(2) + "\n";
}

}  // namespace zendra::pack
