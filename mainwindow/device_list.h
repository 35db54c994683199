#pragma once
// DeviceList: the modules a search found, as the device list shows them. The first reply per MAC
// wins; rows reach the view once per event-loop pass (a search may bring thousands of replies in
// one burst); a module that shares its IP address with another listed one is marked, since
// such modules cannot be told apart on the network.

#include "main_view.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
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

    // The rows shown, in list order.
    const std::vector<DeviceRow>& rows() const { return m_rows; }
    // The one selected row, or null when none or several are selected.
    const DeviceRow* Selected() const;
    // Every selected row, in list order.
    std::vector<DeviceRow> SelectedRows() const;
    // The IP addresses of the listed modules that have one.
    QStringList ListedAddresses() const;

signals:
    // After rows were added; `total` rows are listed now.
    void rowsAdded(int total);

private:
    void flushFoundRows();

    DeviceListView& m_view;
    std::vector<DeviceRow> m_rows;
    std::vector<DeviceRow> m_pendingRows;
    QSet<QString> m_listedMacs;            // of m_rows and m_pendingRows: first reply per MAC wins
    QHash<QString, QList<int>> m_rowsByIp; // listed rows by IP address, to mark shared ones
    bool m_flushQueued = false;
};

} // namespace r2
