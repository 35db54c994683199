#pragma once
// The settings file "R2Cfg.ini": one INI section, System, holding the user's choices between
// runs. The file is GBK text with CR LF line ends; inside the program every text is UTF-8.
//
// Reading never fails: a missing file, a missing section, a missing key or a value of the wrong
// form gives that key's default. Booleans are read as integers (0 false, any other number true),
// integers in decimal or, after "0x", in hexadecimal. Section and key names match whatever their
// letter case, blanks around names and values are ignored, the first matching section and the
// first matching key in it win.
//
// Writing changes only the keys it writes: every other line of the file (unknown keys, other
// sections, the hand-set Custom key, comments) survives, in place. Each write reaches the disk
// before the call returns and replaces the file in one step (temporary file in the same
// directory, flushed, renamed over the old one), so a crash leaves either the old or the new
// file, never a torn one. The file holds the device password in plain text, so on POSIX it is
// created and rewritten readable and writable by its owner only (0600). A file whose owner has
// taken away its write permission is left alone and the write is reported as failed. Writes
// never throw; a failure comes back as a SettingsWriteError.
//
// A value the file cannot hold (a character GBK lacks, a line break) costs only its own key: a
// full save writes every other key, leaves that key's line as the file had it and reports the
// key and the reason.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

inline constexpr std::string_view SettingsFileName = "R2Cfg.ini";

// The main window's keys. The member initialisers are the defaults of every key except
// Language (the caller's system language) and FilePath (the value held before the read).
struct R2Settings {
    bool Language = false;
    bool RealTimeHelp = true;
    std::string LocalCom = "COM1";
    int PNum = 1;
    // Written at exit but never read back: the device login always starts from its defaults.
    // A load leaves both empty; the caller puts in the current credentials before a save.
    std::string UserName{};
    std::string Password{};
    std::string UpgradeIP{};
    std::string UpgradeMAC{};
    std::string UpgradeFileName{};
    std::string FilePath{};
    // Set by hand only; read at start, never written.
    bool Custom = false;

    friend bool operator==(const R2Settings&, const R2Settings&) = default;
};

// The upgrade window's three keys, empty by default.
struct R2UpgradeSettings {
    std::string UpgradeIP;
    std::string UpgradeMAC;
    std::string UpgradeFileName;

    friend bool operator==(const R2UpgradeSettings&, const R2UpgradeSettings&) = default;
};

struct SettingsWriteError {
    std::string message; // "Unable to write to <full path>": what the user is shown
    std::string detail;  // why, for the log
};
using SettingsWriteResult = std::optional<SettingsWriteError>; // empty on success

// One key to write, its value already in the file's encoding.
struct SettingsLine {
    std::string_view key;
    std::string value;
};

// Why a value cannot be stored as it is: GBK lacks one of its characters, or it holds a line
// break, which would split the value over two lines.
enum class UnstorableReason { NotGbk, LineBreak };
struct UnstorableSetting {
    std::string_view key;
    UnstorableReason reason;

    friend bool operator==(const UnstorableSetting&, const UnstorableSetting&) = default;
};

// What a full save writes, and the keys it has to leave as they are.
struct SettingsToWrite {
    std::vector<SettingsLine> lines;
    std::vector<UnstorableSetting> unstorable;
};

// File level.
R2Settings LoadSettings(const std::filesystem::path& path, bool systemChinese,
                        std::string currentFilePath);
R2UpgradeSettings LoadUpgradeSettings(const std::filesystem::path& path);
SettingsWriteResult SaveLanguageSetting(const std::filesystem::path& path, bool useChinese);
// Language, RealTimeHelp, LocalCom, PNum, UserName, Password, UpgradeIP, UpgradeMAC,
// UpgradeFileName, FilePath, in this order; never Custom. When a value cannot be stored the
// other keys are written all the same, and the result names the key and why, in the current
// language (the user's message), with the file's full path in the detail.
SettingsWriteResult SaveSettings(const std::filesystem::path& path, const R2Settings& settings);

// Buffer level: the same rules over the file's bytes.
R2Settings ParseSettings(std::string_view fileBytes, bool systemChinese,
                         std::string currentFilePath);
R2UpgradeSettings ParseUpgradeSettings(std::string_view fileBytes);
// The lines SaveSettings writes, in order, without the keys whose values cannot be stored.
SettingsToWrite SettingsLines(const R2Settings& settings);
// The user's message for keys left unsaved: one line per key, naming it and the reason.
std::string UnstorableSettingsMessage(std::span<const UnstorableSetting> unstorable);
// The file's bytes with `lines` written into its System section: a key already present is
// replaced where it stands, a missing one is added after the section's last line, a missing
// section is added at the end. Every line ends in CR LF afterwards.
std::string UpdateSystemSection(std::string_view fileBytes, std::span<const SettingsLine> lines);
// An integer value as the file stores it; empty when the text is not one.
std::optional<int> ParseIniInteger(std::string_view text);

} // namespace r2
