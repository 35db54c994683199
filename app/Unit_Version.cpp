#include "app/Unit_Version.h"

namespace r2 {

QString GetFileVersionText() {
    return QStringLiteral(R2_VERSION);
}

} // namespace r2
