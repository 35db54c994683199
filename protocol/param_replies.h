#pragma once
// The dispatch of a parameter reply received over the LAN: stored into the mirror, decoded, and
// reported to a sink, one call per reply. PanelP6Reader (panel_p6_reader.h) is the sink that
// turns the calls into P6 panel values.

#include "protocol/block_decoders.h"
#include "protocol/param_mirror.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <string>

namespace r2 {

// Receives the decoded parameter replies; the UDP endpoint and the serial exchange implement
// it and turn each call into their own event.
class ParamReplySink {
public:
    virtual ~ParamReplySink() = default;
    virtual void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                              bool fromSerial) = 0;
    virtual void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) = 0;
    virtual void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) = 0;
    virtual void OnHttpd(const std::string& url, const std::string& header) = 0;
    virtual void OnModbusParam(const TModbusParam& param, int length) = 0;
    virtual void OnModbusPack(const TModbusPackParam& param, int length) = 0;
};

// Stores, decodes and reports a parameter reply received over the LAN (from-serial false).
// Returns false, touching nothing, for a length that is no parameter reply or for a 4-byte
// acknowledgement (FF 01 ...).
bool HandleParamReply(ParamMirror& mirror, ByteView reply, int devFlag, ParamReplySink& sink);

} // namespace r2
