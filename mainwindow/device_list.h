#pragma once
// DeviceList: the modules a search found (one FoundModules), as the device list shows them. The
// first reply per MAC wins; rows reach the view once per event-loop pass (a search may bring
// thousands of replies in one burst); a module that shares its IP address with another listed one
// is marked, since such modules cannot be told apart on the network.

#include "mainwindow/main_view.h"

#include <cstddef>
#include <limits>
#include <QObject>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace r2 {

class DeviceList final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeviceList)

public:
    explicit DeviceList(DeviceListView& view, QObject* parent = nullptr);

    // A new search: the list and the view empty.
    void Clear();
    // One search reply.
    void OnDeviceFound(const QString& ip, const QString& name, int socketIndex, int devFlag,
                       const QString& version, const QString& mac);

    // The rows shown, in list order; replies of the pass under way join them at its end.
    std::span<const FoundModule> rows() const {
        return std::span(m_found.modules()).first(m_shownRows);
    }
    // Every module that answered the search, those of the pass under way included.
    const FoundModules& found() const { return m_found; }
    // The one selected row, or null when none or several are selected.
    const FoundModule* Selected() const;
    // Every selected row, in list order.
    std::vector<FoundModule> SelectedRows() const;
    // The IP addresses of the listed modules that have one: those an address plan must not
    // hand out.
    QStringList addressesTaken() const { return m_found.addressesTaken(); }

signals:
    // After rows were added; `total` rows are listed now.
    void rowsAdded(int total);

private:
    void flushFoundRows();
    // The row the list shows at `index`; null when it shows no such row.
    const FoundModule* shownRow(int index) const;

    DeviceListView& m_view;
    // The first reply per MAC of the search; the window lists every module that answers.
    FoundModules m_found{std::numeric_limits<std::size_t>::max()};
    std::size_t m_shownRows = 0; // of m_found, the rows the view shows
    bool m_flushQueued = false;
};

} // namespace r2
