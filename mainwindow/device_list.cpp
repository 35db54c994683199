#include "device_list.h"

#include <QTimer>

namespace r2 {

DeviceList::DeviceList(DeviceListView& view, QObject* parent) : QObject(parent), m_view(view) {}

void DeviceList::Clear() {
    m_view.ClearDeviceList();
    m_rows.clear();
    m_pendingRows.clear();
    m_listedMacs.clear();
    m_rowsByIp.clear();
}

void DeviceList::OnDeviceFound(const QString& ip, const QString& name, int socketIndex, int devFlag,
                               const QString& version, const QString& mac) {
    // A set, not a scan of the rows: with thousands of modules a scan per reply grows with the
    // square of the list.
    if (m_listedMacs.contains(mac)) {
        return;
    }
    m_listedMacs.insert(mac);
    m_pendingRows.push_back({ip, name, mac, version, devFlag, socketIndex});
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &DeviceList::flushFoundRows);
    }
}

void DeviceList::flushFoundRows() {
    m_flushQueued = false;
    if (m_pendingRows.empty()) {
        return;
    }
    m_view.AddDeviceRows(m_pendingRows);
    for (const DeviceRow& row : m_pendingRows) {
        QList<int>& sharing = m_rowsByIp[row.ip];
        sharing << static_cast<int>(m_rows.size());
        m_rows.push_back(row);
        if (sharing.size() == 2) {
            m_view.MarkSharedAddress(sharing.first());
        }
        if (sharing.size() >= 2) {
            m_view.MarkSharedAddress(sharing.last());
        }
    }
    m_pendingRows.clear();
    emit rowsAdded(static_cast<int>(m_rows.size()));
}

const DeviceRow* DeviceList::Selected() const {
    const int index = m_view.SelectedRow();
    if (index >= 0 && index < static_cast<int>(m_rows.size())) {
        return &m_rows[static_cast<std::size_t>(index)];
    }
    return nullptr;
}

std::vector<DeviceRow> DeviceList::SelectedRows() const {
    std::vector<DeviceRow> selected;
    for (const int index : m_view.SelectedRows()) {
        if (index >= 0 && index < static_cast<int>(m_rows.size())) {
            selected.push_back(m_rows[static_cast<std::size_t>(index)]);
        }
    }
    return selected;
}

QStringList DeviceList::ListedAddresses() const {
    QStringList taken;
    for (const DeviceRow& row : m_rows) {
        if (!row.ip.isEmpty()) {
            taken << row.ip;
        }
    }
    return taken;
}

} // namespace r2
