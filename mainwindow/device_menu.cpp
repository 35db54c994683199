#include "mainwindow/device_menu.h"

#include <array>
#include <utility>

namespace r2 {

namespace {

constexpr std::array<std::pair<const char*, DeviceMenuItem>, 11> Items{{
    {"mniReadTheParam", DeviceMenuItem::ReadTheParam},
    {"mni_OpenWeb", DeviceMenuItem::OpenWeb},
    {"mni_Restart", DeviceMenuItem::Restart},
    {"mni_FirmwareUp", DeviceMenuItem::FirmwareUp},
    {"mni_Reset", DeviceMenuItem::Reset},
    {"mni_CopyTheMac", DeviceMenuItem::CopyTheMac},
    {"mni_CopeAllMac", DeviceMenuItem::CopyAllMacs},
    {"mni_SelRestart", DeviceMenuItem::SelRestart},
    {"mni_SelCopyMacs", DeviceMenuItem::SelCopyMacs},
    {"mni_SelApplyFile", DeviceMenuItem::SelApplyFile},
    {"mni_SelUpgrade", DeviceMenuItem::SelUpgrade},
}};

} // namespace

std::optional<DeviceMenuItem> DeviceMenuItemNamed(const QString& objectName) {
    for (const auto& [name, item] : Items) {
        if (objectName == QLatin1String(name)) {
            return item;
        }
    }
    return std::nullopt;
}

bool ActsOnSelection(DeviceMenuItem item) {
    switch (item) {
    case DeviceMenuItem::SelRestart:
    case DeviceMenuItem::SelCopyMacs:
    case DeviceMenuItem::SelApplyFile:
    case DeviceMenuItem::SelUpgrade:
        return true;
    default:
        return false;
    }
}

} // namespace r2
