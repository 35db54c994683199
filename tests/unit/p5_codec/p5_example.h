#pragma once
// A P5 module's settings whose parameter frame is known byte for byte: destination
// 192.168.0.201:8234, module 192.168.0.7:20108, gateway 192.168.0.201, TCP client, 115200 8N1,
// device ID 0, no options, mask 255.255.255.0. Tests of the codec, the serial exchange and the
// window share it.

#include "protocol/panel_p5.h"
#include "protocol/Unit_Public.h"

namespace r2::test {

inline PanelP5 ExampleP5Panel() {
    PanelP5 p;
    p.edt_DeIP = "192.168.0.201";
    p.edt_DePort = "8234";
    p.edt_ModuleIP = "192.168.0.7";
    p.edt_ModulePort = "20108";
    p.edt_Gateway = "192.168.0.201";
    p.cbb_ModuleWork.index = 1;
    p.cbb_BaudRate.SelectText("115200");
    p.cbb_D.index = 3;
    p.cbb_P.index = 0;
    p.cbb_S.index = 0;
    p.edt_ID = "0";
    p.edt_Mask = "255.255.255.0";
    return p;
}

inline const Bytes& ExampleP5Frame() {
    static const Bytes frame = {0x55, 0xBA, 0xC9, 0x00, 0xA8, 0xC0, 0x2A, 0x20, 0x07, 0x00, 0xA8,
                                0xC0, 0x8C, 0x4E, 0xC9, 0x00, 0xA8, 0xC0, 0x01, 0x00, 0xC2, 0x01,
                                0x03, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xB9};
    return frame;
}

} // namespace r2::test
