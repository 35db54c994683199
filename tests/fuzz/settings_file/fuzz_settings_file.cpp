// Reads arbitrary bytes as a settings file, then saves a known record into them and reads the
// result back: every saved key must read back as saved, Custom must read as it did before the
// save, and the reader must not crash on anything.
#include "settings/Unit_Ini.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const r2::R2Settings before = r2::ParseSettings(input, true, "held.txt");
    (void)r2::ParseUpgradeSettings(input);

    const r2::R2Settings saved{.Language = !before.Language,
                               .RealTimeHelp = !before.RealTimeHelp,
                               .LocalCom = "COM7",
                               .PNum = before.PNum % 3 + 1,
                               .UserName = "admin",
                               .Password = "tulip",
                               .UpgradeIP = "192.168.0.7",
                               .UpgradeMAC = "00-11-22-33-44-55",
                               .UpgradeFileName = "固件.bin",
                               .FilePath = "命令.txt"};
    const r2::SettingsToWrite toWrite = r2::SettingsLines(saved);
    if (!toWrite.unstorable.empty()) {
        std::abort();
    }
    const std::string after = r2::UpdateSystemSection(input, toWrite.lines);
    r2::R2Settings expected = saved;
    expected.UserName.clear();
    expected.Password.clear();
    expected.Custom = before.Custom;
    if (r2::ParseSettings(after, false, "") != expected) {
        std::abort();
    }
    return 0;
}
