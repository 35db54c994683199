#include "protocol/param_replies.h"

namespace r2 {

bool HandleParamReply(ParamMirror& mirror, ByteView reply, int devFlag, ParamReplySink& sink) {
    constexpr bool fromSerial = false;
    switch (reply.size()) {
    case ModbusShortLen:
        sink.OnModbusParam(DecodeModbusSwitches(reply), static_cast<int>(ModbusShortLen));
        return true;
    case ModbusSwitchLen:
        if (reply[0] == 0xFF && reply[1] == 0x01) {
            return false;
        }
        sink.OnModbusParam(DecodeModbusSwitches(reply), static_cast<int>(ModbusSwitchLen));
        return true;
    case CloudBlockLen:
        StoreReply(mirror, reply);
        sink.OnCloudParams(TarrCloudParam{DecodeCloudBlock(mirror.cloud)}, fromSerial, devFlag);
        return true;
    case HeartRegBlockLen:
        StoreReply(mirror, reply);
        sink.OnHeartReg(mirror.heartReg, fromSerial, devFlag);
        return true;
    case ModbusPackBlockLen:
        StoreReply(mirror, reply);
        sink.OnModbusPack(DecodeModbusPack(mirror.modbusPack),
                          static_cast<int>(ModbusPackBlockLen));
        return true;
    case BasePortReplyLen:
        StoreReply(mirror, reply);
        RememberSavedFlags(mirror, mirror.base, mirror.port);
        sink.OnBaseParams(DecodeBaseBlock(mirror.base), TarrComParam{DecodePortBlock(mirror.port)},
                          devFlag, fromSerial);
        return true;
    case HttpdReplyLen: {
        StoreReply(mirror, reply);
        const HttpdTexts texts = DecodeHttpd(mirror);
        sink.OnHttpd(texts.url, texts.header);
        return true;
    }
    default:
        return false;
    }
}

} // namespace r2
