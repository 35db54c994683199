#include "tools/r2ctl/ctl_argv.h"

#include <QStringDecoder>

namespace r2::ctl {

namespace {

QStringDecoder Utf8Decoder() {
    return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                      QStringConverter::Flag::ConvertInitialBom);
}

} // namespace

DecodedArguments DecodeArguments(const QByteArrayList& rawArgs) {
    DecodedArguments decoded;
    for (const QByteArray& raw : rawArgs) {
        QStringDecoder utf8 = Utf8Decoder();
        decoded.args << utf8.decode(raw);
        if (utf8.hasError()) {
            decoded.undecodable << decoded.args.size() - 1;
        }
    }
    return decoded;
}

QString Text(const std::string& utf8) {
    QStringDecoder decoder = Utf8Decoder();
    return decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || arg[0] != '-') {
        return {};
    }
    return arg.substr(0, arg.find('='));
}

} // namespace r2::ctl
