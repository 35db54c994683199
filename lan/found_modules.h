#pragma once
// A module as a search found it, and the list of the modules one search found: the one shape
// the window's device list, r2ctl and the batches share.
//
// Contract:
// - The first reply of each MAC wins: a later reply with a MAC already listed changes nothing,
//   whatever else it says. MACs are compared as the search reply writes them.
// - The list holds at most its cap; a reply with a new MAC beyond it is counted as left out.
// - Rows keep the order in which they were listed; an index names the same module until the
//   list is cleared.

#include "protocol/Unit_Public.h"

#include <cstddef>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace r2 {

// What a command needs to reach a module: the socket it was found on and its MAC text.
struct LanTarget {
    int socketIndex = 0;
    QString mac;
};

struct FoundModule {
    QString ip;
    QString name;
    QString mac; // six upper-case hex pairs separated by single spaces
    unsigned version = 0;
    int flag = DevFlagNone;
    int socketIndex = 0; // the socket the reply came in on, for every later command

    // The record of one OnDeviceFound; its version comes as decimal text, and a text that is
    // no number reads as 0, the version no save depends on.
    static FoundModule FromSearchReply(const QString& ip, const QString& name, int socketIndex,
                                       int flag, const QString& versionText, const QString& mac);

    QString versionText() const { return QString::number(version); }
    LanTarget target() const { return {socketIndex, mac}; }
};

class FoundModules final {
public:
    explicit FoundModules(std::size_t cap);

    // Lists the module; false when its MAC is listed already or the list is full.
    bool add(FoundModule module);
    void clear();

    const FoundModule* find(const QString& mac) const;
    // Null when `index` names no row.
    const FoundModule* at(int index) const;

    const std::vector<FoundModule>& modules() const { return m_modules; }
    std::size_t size() const { return m_modules.size(); }
    bool empty() const { return m_modules.empty(); }
    auto begin() const { return m_modules.begin(); }
    auto end() const { return m_modules.end(); }
    // New MACs that answered after the list was full.
    std::size_t leftOut() const { return m_leftOut; }
    std::size_t cap() const { return m_cap; }

    // Every listed address, in list order: the addresses an address plan must not hand out.
    QStringList addressesTaken() const;
    // The rows that came to share their address with another listed module when the row at
    // `index` was listed: that row and the one listed first at the address when it is the
    // second there, that row alone after that, none while it is alone.
    std::vector<std::size_t> newlySharing(std::size_t index) const;

private:
    std::size_t m_cap;
    std::vector<FoundModule> m_modules;
    // A table, not a scan of the rows: with thousands of modules a scan per reply grows with
    // the square of the list.
    QHash<QString, std::size_t> m_byMac;
    QHash<QString, std::vector<std::size_t>> m_byIp; // rows by address, in list order
    std::size_t m_leftOut = 0;
};

} // namespace r2
