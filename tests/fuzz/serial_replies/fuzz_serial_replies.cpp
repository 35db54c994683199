// The serial reply dispatch on chunks of any length. A chunk is dispatched by its length
// alone, so whatever its bytes: the decoded texts stay inside their fields, every report is a
// serial P6 one, a chunk that is not a P6 reply leaves the mirror alone, and what a P6 reply
// fills into the panel encodes back into the blocks the module sent.

#include "protocol/serial_frames.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class CheckingSink final : public r2::ParamReplySink {
public:
    explicit CheckingSink(r2::PanelP6& panel) : m_panel(panel) {}

    void OnBaseParams(const r2::TBaseParam& base, const r2::TarrComParam& ports, int devFlag,
                      bool fromSerial) override {
        Require(fromSerial && devFlag == r2::DevFlagP6 && ports.size() == 1);
        Require(base.ModName.size() <= 16 && ports[0].RemoteIP.size() <= 30);
        r2::FillFromBaseReply(m_panel, base, ports, devFlag, fromSerial, std::nullopt);
        ++baseReports;
    }
    void OnCloudParams(const r2::TarrCloudParam& clouds, bool fromSerial, int devFlag) override {
        Require(fromSerial && devFlag == r2::DevFlagP6 && clouds.size() == 1);
        Require(clouds[0].DeviceId.size() <= 20 && clouds[0].CommPassword.size() <= 8);
        ++otherReports;
    }
    void OnHeartReg(r2::ByteView block85, bool fromSerial, int devFlag) override {
        Require(fromSerial && devFlag == r2::DevFlagP6 && block85.size() == r2::HeartRegBlockLen);
        ++otherReports;
    }
    void OnHttpd(const std::string&, const std::string&) override { Require(false); }
    void OnModbusParam(const r2::TModbusParam&, int) override { Require(false); }
    void OnModbusPack(const r2::TModbusPackParam&, int) override { Require(false); }

    int baseReports = 0;
    int otherReports = 0;

private:
    r2::PanelP6& m_panel;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const r2::ByteView chunk(data, size);
    const r2::SerialReplyKind kind = r2::ClassifySerialChunk(chunk);
    r2::ParamMirror mirror;
    r2::PanelP6 panel;
    CheckingSink sink(panel);
    const bool handled = r2::HandleSerialReply(mirror, chunk, sink);
    Require(handled ==
            (kind == r2::SerialReplyKind::P6Reply || kind == r2::SerialReplyKind::CloudHeart));
    if (kind != r2::SerialReplyKind::P6Reply) {
        Require(mirror == r2::ParamMirror{} && sink.baseReports == 0);
        Require(sink.otherReports == (handled ? 2 : 0));
        return 0;
    }
    Require(sink.baseReports == 1 && sink.otherReports == 0);
    Require(std::equal(mirror.base.begin(), mirror.base.end(), chunk.begin() + 2));
    Require(mirror.SavedBaseFlags == chunk[5] && mirror.SavedPortFlags == chunk[119]);
    // Whatever the module reported must be sendable back: the panel encodes.
    const r2::SerialP6SaveFrames save = r2::EncodeSerialP6Save(panel, mirror);
    Require(save.status.ok() && save.frames.size() == 3);
    return 0;
}
