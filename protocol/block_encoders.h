#pragma once
// The encoders from the P6 and P7 panels back into the parameter mirror, each all or nothing
// for its own section (see field_writer.h).

#include "protocol/field_writer.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"
#include "protocol/param_mirror.h"
#include "protocol/Unit_Public.h"

namespace r2 {

// Base and port blocks from the P6 panel. The option bytes start from SavedBaseFlags and
// SavedPortFlags; every byte the panel does not set keeps the section's content. The serial
// save uses these encoders too: it encodes into a copy of the live mirror, so the bytes kept
// there are those of the module last read over the LAN (zeros before any read), and the
// option bits kept are those of the last read on either path.
EncodeResult EncodeBaseP6(const PanelP6& panel, ParamMirror& mirror);
EncodeResult EncodePortP6(const PanelP6& panel, ParamMirror& mirror);
// Base and port blocks from the P7 panel. Byte 3 becomes 0x80 (static) or 0x00 (DHCP); of
// port byte 50 only bits 2 and 3 are written.
EncodeResult EncodeBaseP7(const PanelP7& panel, ParamMirror& mirror);
EncodeResult EncodePortP7(const PanelP7& panel, ParamMirror& mirror);
// Device ID and communication password; they must be exactly 20 and 8 bytes long.
EncodeResult EncodeCloud(const PanelP6& panel, ParamMirror& mirror);
// Option byte, heartbeat time and the two data fields (hex digits or text, at most 40 bytes).
EncodeResult EncodeHeartReg(const PanelP6& panel, ParamMirror& mirror);
// URL and header: the length bytes and that many leading bytes of each field (at most 100 and
// 200); the rest of each field is kept. Cannot fail.
void EncodeHttpd(const PanelP6& panel, ParamMirror& mirror);
// The 4-byte Modbus switches section: TCP, polling, poll time (big-endian).
EncodeResult EncodeModbus(const PanelP6& panel, ParamMirror& mirror);
// The 1-byte Modbus switches block, built on its own: 1 when Modbus TCP is checked.
Bytes EncodeModbusShort(const PanelP6& panel);
// The Modbus pack section: the type always; exception, timeout and interval for types 1 and 2
// (each number only when its box is not empty); the report protocol for type 2.
EncodeResult EncodeModbusPack(const PanelP6& panel, ParamMirror& mirror);

} // namespace r2
