#include "lan/save_refusal.h"

namespace r2 {

QString SaveRefusal::text() const {
    if (reason == Reason::SeveralModules) {
        return conflict;
    }
    return QStringLiteral("the parameters held are those of the module at %1, not of %2 "
                          "(%3): read %2 before saving it")
        .arg(readIp.isEmpty() ? QStringLiteral("an unknown address") : readIp, mac,
             macIp.isEmpty() ? QStringLiteral("address unknown") : macIp);
}

} // namespace r2
