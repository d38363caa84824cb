#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jre/RuntimeHome.h"

using namespace marlo;

namespace {

ReleaseInfo parse(const std::string& text) { return parseReleaseText(text.data(), text.size()); }

TEST(ReleaseText, VersionsFromTheLinesThatCarryThem) {
    struct {
        const char* name;
        std::string text;
        const char* javaVersion;
        const char* runtimeVersion;
    } cases[] = {
        {"modern", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\nJAVA_VERSION=\"17.0.9\"\n",
         "17.0.9", "17.0.9+9"},
        {"java 8, CR LF", "JAVA_VERSION=\"1.8.0_392\"\r\nOS_NAME=\"Windows\"\r\n", "1.8.0_392", ""},
        {"unquoted, blanks", "  JAVA_VERSION = 21.0.1  \n", "21.0.1", ""},
        {"byte-order mark", "\xEF\xBB\xBFJAVA_VERSION=\"11.0.21\"", "11.0.21", ""},
        {"no final line end", "JAVA_VERSION=\"22\"", "22", ""},
        {"first of two wins", "JAVA_VERSION=\"17\"\nJAVA_VERSION=\"99\"\n", "17", ""},
        {"similar keys are others", "XJAVA_VERSION=\"5\"\nJAVA_VERSION_DATE=\"2023-10-17\"\n", "", ""},
        {"lone quote kept", "JAVA_VERSION=\"17\n", "\"17", ""},
        {"NUL cuts the value", std::string("JAVA_VERSION=\"17\0.1\"\n", 21), "17", ""},
        {"empty", "", "", ""},
        {"line without equals", "JAVA_VERSION\n", "", ""},
    };
    for (const auto& c : cases) {
        ReleaseInfo info = parse(c.text);
        EXPECT_EQ(info.javaVersion, c.javaVersion) << c.name;
        EXPECT_EQ(info.runtimeVersion, c.runtimeVersion) << c.name;
    }
}

TEST(ReleaseText, OnlyTheFirstPartOfAHugeFileIsRead) {
    std::string text(kReleaseTextLimit, '#');
    text += "\nJAVA_VERSION=\"17\"\n";
    EXPECT_EQ(parse(text).javaVersion, "");
    text = "JAVA_VERSION=\"17\"\n" + text;
    EXPECT_EQ(parse(text).javaVersion, "17");
}

std::vector<unsigned char> image(uint32_t peOffset, uint16_t machine, size_t size) {
    std::vector<unsigned char> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (int i = 0; i < 4; ++i) bytes[0x3c + i] = static_cast<unsigned char>(peOffset >> (8 * i));
    if (peOffset + 6 <= size) {
        bytes[peOffset] = 'P';
        bytes[peOffset + 1] = 'E';
        bytes[peOffset + 4] = static_cast<unsigned char>(machine);
        bytes[peOffset + 5] = static_cast<unsigned char>(machine >> 8);
    }
    return bytes;
}

TEST(PeImageMachine, ReadFromTheFileHeader) {
    uint16_t machine = 0;
    auto x86 = image(0x80, kMachineX86, 512);
    ASSERT_TRUE(peImageMachine(x86.data(), x86.size(), machine));
    EXPECT_EQ(machine, kMachineX86);
    auto x64 = image(0xf8, kMachineX64, 0xf8 + 6);  // the header ends exactly at the buffer's end
    ASSERT_TRUE(peImageMachine(x64.data(), x64.size(), machine));
    EXPECT_EQ(machine, kMachineX64);
}

TEST(MachineName, KnownNamesElseTheNumber) {
    EXPECT_EQ(machineName(kMachineX86), "x86");
    EXPECT_EQ(machineName(kMachineX64), "x64");
    EXPECT_EQ(machineName(kMachineArm64), "arm64");
    EXPECT_EQ(machineName(0x1c4), "0x1c4");
}

TEST(PeImageMachine, RefusesWhatIsNoImageStart) {
    uint16_t machine = 0;
    auto cut = image(0xf8, kMachineX64, 0xf8 + 5);  // machine field cut off
    EXPECT_FALSE(peImageMachine(cut.data(), cut.size(), machine));
    auto far = image(0xfffffff0u, kMachineX64, 512);  // offset beyond the bytes (and wrapping)
    EXPECT_FALSE(peImageMachine(far.data(), far.size(), machine));
    auto noMz = image(0x80, kMachineX64, 512);
    noMz[0] = 'Z';
    EXPECT_FALSE(peImageMachine(noMz.data(), noMz.size(), machine));
    auto noPe = image(0x80, kMachineX64, 512);
    noPe[0x81] = 'X';
    EXPECT_FALSE(peImageMachine(noPe.data(), noPe.size(), machine));
    auto shortStub = image(0x40, kMachineX86, 0x40);
    EXPECT_FALSE(peImageMachine(shortStub.data(), 0x3f, machine));  // shorter than the DOS header
    EXPECT_FALSE(peImageMachine(nullptr, 0, machine));
}

}  // namespace
