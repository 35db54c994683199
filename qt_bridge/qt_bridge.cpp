#include "qt_bridge/qt_bridge.h"

#include "lang/Unit_Baselang.h"

namespace r2 {

ByteView ViewOf(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
}

QByteArray ByteArrayOf(ByteView bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

} // namespace r2
