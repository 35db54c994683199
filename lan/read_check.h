#pragma once
// ReadCheck: what the endpoint's last read got from the module it addressed, so that a save
// over that read can be refused when the replies came from elsewhere or from several modules
// (TUdpSvr::beginRead starts one, TUdpSvr::saveRefusal and ReadForSaveRefusal judge it).

#include <map>
#include <QByteArray>
#include <QString>

namespace r2 {

struct ReadCheck {
    bool active = false; // a read command went out since the endpoint was made
    QString moduleIp;    // the read module's address; empty when it was not known
    // The parameter replies taken from it, by length; the last of each length.
    std::map<int, QByteArray> replies;
    int foreignReplies = 0; // parameter replies refused because another address sent them
    QString conflict;       // set when the module's address sent two different base blocks

    bool trustworthy() const { return conflict.isEmpty(); }
};

} // namespace r2
