// Every parameter block decoder and the reply dispatch, on input of any length. Besides the
// sanitizers' checks, the decoded texts must stay inside the fields they come from, and the
// password spans a printer hides lie inside the frame, in order.

#include "protocol/block_codec.h"
#include "protocol/frame_secrets.h"

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
    void OnBaseParams(const r2::TBaseParam& base, const r2::TarrComParam& ports, int,
                      bool fromSerial) override {
        Require(!fromSerial && ports.size() == 1);
        Require(base.ModName.size() <= 16 && base.UserName.size() <= 6);
        Require(ports[0].RemoteIP.size() <= 30);
    }
    void OnCloudParams(const r2::TarrCloudParam& clouds, bool fromSerial, int) override {
        Require(!fromSerial && clouds.size() == 1);
        Require(clouds[0].DeviceId.size() <= 20 && clouds[0].CommPassword.size() <= 8);
    }
    void OnHeartReg(r2::ByteView block85, bool fromSerial, int) override {
        Require(!fromSerial && block85.size() == r2::HeartRegBlockLen);
    }
    void OnHttpd(const std::string& url, const std::string& header) override {
        Require(url.size() <= r2::HttpdUrlLen && header.size() <= r2::HttpdHeadLen);
    }
    void OnModbusParam(const r2::TModbusParam& param, int length) override {
        Require(length == 1 || length == 4);
        Require(param.PollTime.size() <= 5);
    }
    void OnModbusPack(const r2::TModbusPackParam& param, int length) override {
        Require(length == 87);
        Require(param.ModbusTimeout.size() <= 5 && param.ModbusInterval.size() <= 5);
    }
};

void RequireInside(const r2::SecretSpans& spans, std::size_t size) {
    std::size_t end = 0;
    for (const r2::SecretSpan& span : spans) {
        Require(span.offset >= end && span.length > 0 && span.offset + span.length <= size);
        end = span.offset + span.length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const r2::ByteView input(data, size);
    RequireInside(r2::CommandFrameSecrets(input), size);
    RequireInside(r2::ParamReplySecrets(input), size);
    RequireInside(r2::SerialFrameSecrets(input, r2::SerialDirection::ToModule), size);
    RequireInside(r2::SerialFrameSecrets(input, r2::SerialDirection::FromModule), size);

    r2::DecodeBaseBlock(input);
    r2::DecodePortBlock(input);
    r2::DecodeCloudBlock(input);
    r2::DecodeModbusSwitches(input);
    r2::DecodeModbusPack(input);
    const r2::HeartRegFields heart = r2::DecodeHeartRegBlock(input);
    Require(heart.heartData.size() <= 2 * r2::HeartRegDataLen);
    Require(heart.regData.size() <= 2 * r2::HeartRegDataLen);

    r2::ParamMirror mirror;
    CheckingSink sink;
    const bool handled = r2::HandleParamReply(mirror, input, r2::DevFlagP6, sink);
    if (!handled) {
        Require(mirror == r2::ParamMirror{});
    }
    r2::StoreReply(mirror, input);
    const r2::HttpdTexts texts = r2::DecodeHttpd(mirror);
    Require(texts.url.size() <= r2::HttpdUrlLen && texts.header.size() <= r2::HttpdHeadLen);
    return 0;
}
