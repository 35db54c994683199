#pragma once
// The way back from TUdpSvr's parameter-reply signals to a reply sink: a batch or r2ctl hands
// the replies of its read to its PanelP6Reader through here, so the endpoint's signals reach
// the one reader of P6 replies unchanged.

#include "Unit_Udp.h"

#include <functional>

class QObject;

namespace r2 {

// Connects the six parameter-reply signals of `udp` to `sink` for as long as `context` lives.
// A reply goes to the sink only while `accept` (when given) says yes.
void ForwardParamReplies(TUdpSvr& udp, QObject* context, ParamReplySink& sink,
                         std::function<bool()> accept = {});

} // namespace r2
