// End to end on a real MinGW-built PE: package, sign with a throwaway certificate, verify
// the signature and read the record back from the signed file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "pack_cli.h"
#include "pack_dump.h"
#include "pack_test_support.h"

namespace zendra::pack {
namespace {

using testing::HasSubstr;

#ifdef ZENDRA_TINY_PE
constexpr const char* kTinyPe = ZENDRA_TINY_PE;
#else
constexpr const char* kTinyPe = "";
#endif

bool haveCommand(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

class PackSigning : public testing::Test {
protected:
    void SetUp() override {
        if (std::string(kTinyPe).empty() || !std::filesystem::exists(kTinyPe)) GTEST_SKIP() << "no MinGW compiler";
        if (!haveCommand("osslsigncode") || !haveCommand("openssl")) GTEST_SKIP() << "osslsigncode or openssl missing";
        test::writeText(dir_ / "app.json", R"({"strings": {"launcherType": 1, "classPath": "A1app.jar"},
            "messages": {"msgCaption": "Setup \u00e4"}, "files": [{"name": "lib\\x.bin", "hex": "00015a"}]})");
        ASSERT_EQ(sh("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=zendra-test -keyout " +
                     path("key.pem") + " -out " + path("cert.pem")),
                  0);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    int sh(const std::string& command) const {
        const int status = std::system((command + " >>" + path("log.txt") + " 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int pack(const std::vector<std::string>& args, std::string& err) const {
        std::ostringstream out;
        std::ostringstream errors;
        const int code = runPackTool(args, out, errors);
        err = errors.str();
        return code;
    }
    int sign(const std::string& in, const std::string& out) const {
        return sh("osslsigncode sign -certs " + path("cert.pem") + " -key " + path("key.pem") + " -in " + in +
                  " -out " + out);
    }
    int verify(const std::string& file) const {
        return sh("osslsigncode verify -CAfile " + path("cert.pem") + " -in " + file);
    }

    test::TempDir dir_;
};

TEST_F(PackSigning, SignedPackageVerifiesAndKeepsItsRecord) {
    std::string err;
    ASSERT_EQ(pack({kTinyPe, path("app.json"), path("app.exe")}, err), 0) << err;
    ASSERT_EQ(sign(path("app.exe"), path("signed.exe")), 0) << test::readText(dir_ / "log.txt");
    EXPECT_EQ(verify(path("signed.exe")), 0) << test::readText(dir_ / "log.txt");

    const PackageDump unsigned_ = readPackage(test::readBytes(dir_ / "app.exe"));
    const PackageDump signed_ = readPackage(test::readBytes(dir_ / "signed.exe"));
    EXPECT_EQ(signed_.package.strings, unsigned_.package.strings);
    EXPECT_EQ(signed_.package.messages, unsigned_.package.messages);
    ASSERT_EQ(signed_.package.files.size(), 1u);
    EXPECT_EQ(signed_.package.files[0].data, (std::vector<std::uint8_t>{0, 1, 0x5A}));
    EXPECT_TRUE(signed_.integrity.matches());
    EXPECT_THAT(signed_.notes, testing::ElementsAre(HasSubstr("bytes follow the included data")));

    std::vector<std::uint8_t> tampered = test::readBytes(dir_ / "signed.exe");
    ASSERT_LT(signed_.dataOffset + 8, tampered.size());
    tampered[static_cast<std::size_t>(signed_.dataOffset) + 8] ^= 1;
    test::writeBytes(dir_ / "tampered.exe", tampered);
    EXPECT_NE(verify(path("tampered.exe")), 0) << "the signature must cover the appended data";
}

TEST_F(PackSigning, ASignedLauncherCanBePackagedAndSignedAgain) {
    std::string err;
    ASSERT_EQ(pack({kTinyPe, path("app.json"), path("app.exe")}, err), 0) << err;
    ASSERT_EQ(sign(path("app.exe"), path("signed.exe")), 0);
    test::writeText(dir_ / "other.json", R"({"strings": {"launcherType": 5}})");
    ASSERT_EQ(pack({path("signed.exe"), path("other.json"), path("again.exe")}, err), 0) << err;
    EXPECT_THAT(err, HasSubstr("signature was dropped"));
    EXPECT_NE(verify(path("again.exe")), 0) << "no signature is left";
    ASSERT_EQ(sign(path("again.exe"), path("again-signed.exe")), 0) << test::readText(dir_ / "log.txt");
    EXPECT_EQ(verify(path("again-signed.exe")), 0) << test::readText(dir_ / "log.txt");
    const PackageDump dump = readPackage(test::readBytes(dir_ / "again-signed.exe"));
    EXPECT_EQ(dump.package.strings, (std::vector<std::pair<std::int32_t, std::string>>{{107, "5"}}));
}

}  // namespace
}  // namespace zendra::pack
