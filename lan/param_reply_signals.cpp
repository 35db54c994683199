#include "param_reply_signals.h"

namespace r2 {

namespace {

ByteView ViewOf(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
}

} // namespace

void ForwardParamReplies(TUdpSvr& udp, QObject* context, ParamReplySink& sink,
                         std::function<bool()> accept) {
    const auto taken = [accept = std::move(accept)] { return !accept || accept(); };
    QObject::connect(
        &udp, &TUdpSvr::OnBaseParams, context,
        [&sink, taken](const TBaseParam& base, const TarrComParam& ports, int flag, bool serial) {
            if (taken()) {
                sink.OnBaseParams(base, ports, flag, serial);
            }
        });
    QObject::connect(&udp, &TUdpSvr::OnCloudParams, context,
                     [&sink, taken](const TarrCloudParam& clouds, bool serial, int flag) {
                         if (taken()) {
                             sink.OnCloudParams(clouds, serial, flag);
                         }
                     });
    QObject::connect(&udp, &TUdpSvr::OnHeartReg, context,
                     [&sink, taken](const QByteArray& block, bool serial, int flag) {
                         if (taken()) {
                             sink.OnHeartReg(ViewOf(block), serial, flag);
                         }
                     });
    QObject::connect(&udp, &TUdpSvr::OnHttpd, context,
                     [&sink, taken](const QByteArray& url, const QByteArray& head) {
                         if (taken()) {
                             sink.OnHttpd(url.toStdString(), head.toStdString());
                         }
                     });
    QObject::connect(&udp, &TUdpSvr::OnModbusParam, context,
                     [&sink, taken](const TModbusParam& param, int length) {
                         if (taken()) {
                             sink.OnModbusParam(param, length);
                         }
                     });
    QObject::connect(&udp, &TUdpSvr::OnModbusPack, context,
                     [&sink, taken](const TModbusPackParam& param, int length) {
                         if (taken()) {
                             sink.OnModbusPack(param, length);
                         }
                     });
}

} // namespace r2
