// A fresh directory for one test, removed with its contents afterwards.
#pragma once

#include <string>

namespace zendra::win::test {

// Creates a unique directory under the system's temporary path; removes it on destruction.
class TestDirectory {
public:
    TestDirectory();
    ~TestDirectory();
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;

    // The directory, without a trailing backslash.
    const std::string& path() const { return path_; }
    // path() + "\\" + name.
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Writes bytes to a new file with the plain Win32 API (independent of the code under test).
void writeRawFile(const std::string& path, const std::string& bytes);

// The whole content of a file read with the plain Win32 API; empty when it cannot be read.
std::string readRawFile(const std::string& path);

}  // namespace zendra::win::test
