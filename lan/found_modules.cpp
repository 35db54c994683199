#include "lan/found_modules.h"

#include <algorithm>

namespace r2 {

FoundModule FoundModule::FromSearchReply(const QString& ip, const QString& name, int socketIndex,
                                         int flag, const QString& versionText, const QString& mac) {
    bool numeric = false;
    const unsigned version = versionText.toUInt(&numeric);
    return FoundModule{ip, name, mac, numeric ? version : 0, flag, socketIndex};
}

FoundModules::FoundModules(std::size_t cap) : m_cap(cap) {}

bool FoundModules::add(FoundModule module) {
    if (m_byMac.contains(module.mac)) {
        return false;
    }
    if (m_modules.size() >= m_cap) {
        ++m_leftOut;
        return false;
    }
    const std::size_t index = m_modules.size();
    m_byMac.insert(module.mac, index);
    m_byIp[module.ip].push_back(index);
    m_modules.push_back(std::move(module));
    return true;
}

void FoundModules::clear() {
    m_modules.clear();
    m_byMac.clear();
    m_byIp.clear();
    m_leftOut = 0;
}

const FoundModule* FoundModules::find(const QString& mac) const {
    const auto it = m_byMac.constFind(mac);
    return it != m_byMac.constEnd() ? &m_modules[*it] : nullptr;
}

const FoundModule* FoundModules::at(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_modules.size()) {
        return nullptr;
    }
    return &m_modules[static_cast<std::size_t>(index)];
}

QStringList FoundModules::addressesTaken() const {
    QStringList taken;
    for (const FoundModule& module : m_modules) {
        if (!module.ip.isEmpty()) {
            taken << module.ip;
        }
    }
    return taken;
}

std::vector<std::size_t> FoundModules::newlySharing(std::size_t index) const {
    if (index >= m_modules.size()) {
        return {};
    }
    const std::vector<std::size_t>& sharing = *m_byIp.constFind(m_modules[index].ip);
    const auto position = std::ranges::lower_bound(sharing, index) - sharing.begin();
    if (position == 0) {
        return {};
    }
    if (position == 1) {
        return {sharing.front(), index};
    }
    return {index};
}

} // namespace r2
