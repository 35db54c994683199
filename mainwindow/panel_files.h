#pragma once
// PanelFiles: the P6 and P7 panels' "Save to file…" and "Load from file…" below the widgets.
//
// Save writes the panel as it shows (what the module sent plus the user's edits) to a module
// configuration file, with the model, firmware version and MAC of the module the panel belongs
// to and the time. Load reads and checks the whole file first: a file of another model, an
// unknown control, a value the panel does not take or a newer format is refused in a message
// that names the file (and the control and value), and the panel stays as it was. Only then is
// the panel filled for the user to look at; nothing is sent until they save it as usual.
//
// The module the panel belongs to: for a P6 panel the MAC its module sent with the values (also
// after a read over the serial line), with the firmware of the listed module of that MAC, else 0
// (unknown); for a P7 panel, which no read fills, the selected device-list row of a P7.
//
// Every outcome goes to the log; a refusal is also shown as a message.

#include "mainwindow/main_view.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <optional>
#include <QString>
#include <vector>

namespace r2 {

class PanelFiles final {
    Q_DISABLE_COPY_MOVE(PanelFiles)

public:
    // `found` is the controller's device list, read at each call.
    PanelFiles(MainView& view, PanelP6& p6, PanelP7& p7, const FoundModules& found);

    // False when nothing was written (no module to name, a value that would not read back, a
    // file that cannot be written). P5 is not a panel of this kind: false.
    bool SaveToFile(PanelId panel, const QString& path);
    // False when the panel was left untouched.
    bool LoadFromFile(PanelId panel, const QString& path);
    // The file name a save offers: model and MAC, e.g. "P6-025232060001.json"; empty when the
    // panel belongs to no module.
    QString SuggestedFileName(PanelId panel) const;

private:
    struct Source {
        QString mac; // six hex pairs separated by spaces
        unsigned firmware = 0;
    };
    std::optional<Source> sourceOf(PanelId panel) const;
    void refuse(const QString& text);

    MainView& m_view;
    PanelP6& m_p6;
    PanelP7& m_p7;
    const FoundModules& m_found;
};

} // namespace r2
