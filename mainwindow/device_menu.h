#pragma once
// The items of the device list's context menu (pm_NetDev), typed. The window finds each
// QAction's item by its objectName once, when it connects the menu; the controller dispatches
// on the item.

#include <optional>
#include <QString>

namespace r2 {

enum class DeviceMenuItem {
    ReadTheParam, // mniReadTheParam
    OpenWeb,      // mni_OpenWeb
    Restart,      // mni_Restart
    FirmwareUp,   // mni_FirmwareUp
    Reset,        // mni_Reset
    CopyTheMac,   // mni_CopyTheMac
    CopyAllMacs,  // mni_CopeAllMac
    SelRestart,   // mni_SelRestart
    SelCopyMacs,  // mni_SelCopyMacs
    SelApplyFile, // mni_SelApplyFile
    SelUpgrade,   // mni_SelUpgrade
};

// The item of the QAction named `objectName`; none for a name the menu does not hold.
std::optional<DeviceMenuItem> DeviceMenuItemNamed(const QString& objectName);

// The items that act on every selected module (a job over the selection), not on the one
// selected module.
bool ActsOnSelection(DeviceMenuItem item);

} // namespace r2
