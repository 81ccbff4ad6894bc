// VM options from the configuration, the command line and option files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "launcher.h"
#include "platform.h"

namespace zendra {

// What option processing collects for one VM option build.
struct OptionSink {
    std::vector<std::string> vmOptions;  // in the order they were processed
    std::string classpathOverride;       // text of the last "-classpath "; empty: not set
    std::string classpathPrepend;        // text of the last "-classpath/p "; empty: not set
    std::string classpathAppend;         // text of the last "-classpath/a "; empty: not set
    std::vector<std::string> includeChain;  // option files being read, as comparison keys
};

// Longest option-file line taken; the rest of a longer line is dropped.
inline constexpr std::size_t kMaxOptionLineLength = 8191;

// Deepest nesting of "-include-options" files that is followed.
inline constexpr std::size_t kMaxIncludeDepth = 16;

// Classifies one option: include file, class path slot or VM option. baseFile (may be null)
// is the option file it came from; relative include paths resolve against its directory.
void processOption(Launcher& l, const std::string& option, const std::string* baseFile, OptionSink& sink);

// Processes every line of an opened option file and closes it; nothing when file is null.
void readOptionFile(Launcher& l, const std::string* baseFile, std::unique_ptr<File> file, OptionSink& sink);

// Opens the option file named after the executable ("x.vmoptions", then "x.exe.vmoptions").
std::unique_ptr<File> openDefaultOptionFile(Launcher& l);

// Adds the options of property 123, the command line's "-J" options and the locale options.
void addConfiguredOptions(Launcher& l, const ArgumentList& arguments, OptionSink& sink);

}  // namespace zendra
