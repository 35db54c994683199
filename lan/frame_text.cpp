#include "lan/frame_text.h"

#include "lang/gbk_text.h"

#include <QByteArray>
#include <string_view>

namespace r2 {

std::string ToFrameText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view view(utf8.constData(), static_cast<size_t>(utf8.size()));
    if (auto gbk = Utf8ToGbk(view)) {
        return *gbk;
    }
    return std::string(view);
}

QString FromFrameText(const std::string& bytes) {
    if (auto utf8 = GbkToUtf8(bytes)) {
        return QString::fromStdString(*utf8);
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace r2
