#include "mainwindow/device_list.h"

#include <QTimer>

namespace r2 {

DeviceList::DeviceList(DeviceListView& view, QObject* parent) : QObject(parent), m_view(view) {}

void DeviceList::Clear() {
    m_view.ClearDeviceList();
    m_found.clear();
    m_shownRows = 0;
}

void DeviceList::OnDeviceFound(const QString& ip, const QString& name, int socketIndex, int devFlag,
                               const QString& version, const QString& mac) {
    if (!m_found.add(FoundModule::FromSearchReply(ip, name, socketIndex, devFlag, version, mac))) {
        return;
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &DeviceList::flushFoundRows);
    }
}

void DeviceList::flushFoundRows() {
    m_flushQueued = false;
    if (m_shownRows == m_found.size()) {
        return;
    }
    const std::size_t first = m_shownRows;
    m_view.AddDeviceRows(std::span(m_found.modules()).subspan(first));
    m_shownRows = m_found.size();
    for (std::size_t index = first; index < m_shownRows; ++index) {
        for (const std::size_t sharing : m_found.newlySharing(index)) {
            m_view.MarkSharedAddress(static_cast<int>(sharing));
        }
    }
    emit rowsAdded(static_cast<int>(m_shownRows));
}

const FoundModule* DeviceList::shownRow(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_shownRows ? m_found.at(index)
                                                                       : nullptr;
}

const FoundModule* DeviceList::Selected() const {
    return shownRow(m_view.SelectedRow());
}

std::vector<FoundModule> DeviceList::SelectedRows() const {
    std::vector<FoundModule> selected;
    for (const int index : m_view.SelectedRows()) {
        if (const FoundModule* row = shownRow(index)) {
            selected.push_back(*row);
        }
    }
    return selected;
}

} // namespace r2
