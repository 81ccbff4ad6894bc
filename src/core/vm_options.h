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

// Most bytes and lines read from one option file; the rest is ignored (and logged).
inline constexpr std::size_t kMaxOptionFileBytes = 1u << 20;
inline constexpr std::size_t kMaxOptionFileLines = 10000;

// Deepest nesting of "-include-options" files that is followed.
inline constexpr std::size_t kMaxIncludeDepth = 16;

// Classifies one option: include file, class path slot or VM option. baseFile (may be null)
// is the option file it came from; relative include paths resolve against its directory.
void processOption(Launcher& l, const std::string& option, const std::string* baseFile, OptionSink& sink);

// Processes every line of an opened option file and closes it; nothing when file is null.
void readOptionFile(Launcher& l, const std::string* baseFile, std::unique_ptr<File> file, OptionSink& sink);

// Opens the option file named after the executable ("x.vmoptions", then "x.exe.vmoptions");
// openedPath, when given, receives the name of the file opened.
std::unique_ptr<File> openDefaultOptionFile(Launcher& l, std::string* openedPath = nullptr);

// Reads the option file named after the executable, when there is one; its relative includes
// resolve against the executable directory.
void readDefaultOptionFile(Launcher& l, OptionSink& sink);

// Adds the options of property 123, the command line's "-J" options and the locale options.
void addConfiguredOptions(Launcher& l, const ArgumentList& arguments, OptionSink& sink);

}  // namespace zendra
