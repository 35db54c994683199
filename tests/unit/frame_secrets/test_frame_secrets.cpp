// Which bytes of the frames the tool sends and receives are passwords: the spans must cover
// every password the frame carries and nothing else, so a printer that hides them hides all of
// them and keeps the rest readable.

#include "block_fixtures.h"
#include "protocol/frame_secrets.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace r2 {
namespace {

using test::PutText;

constexpr const char* Mac = "D8 B0 4C 00 00 01";
constexpr const char* Sent = "Sent12";    // the password the command carries
constexpr const char* Login = "Mod987";   // the module's login password in its base block
constexpr const char* Cloud = "Cl0udPw8"; // the cloud communication password
constexpr const char* DeviceId = "R2ID0123456789ABCDEF";

Bytes BaseBlock() {
    Bytes base = test::ModuleBaseBlock();
    PutText(base, 43, Login);
    return base;
}

Bytes CloudBlock() {
    Bytes cloud = test::Pattern(CloudBlockLen, 0x31);
    PutText(cloud, 2, DeviceId);
    PutText(cloud, 22, Cloud);
    return cloud;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

bool Holds(const Bytes& frame, std::string_view text) {
    return std::search(frame.begin(), frame.end(), text.begin(), text.end()) != frame.end();
}

struct Case {
    const char* what;
    Bytes frame;
    SecretSpans spans;
    std::vector<std::string_view> passwords; // what the frame carries in the clear
};

std::vector<Case> Cases() {
    const Bytes base = BaseBlock();
    const Bytes port = test::ModulePortBlock();
    const Bytes cloud = CloudBlock();
    const Bytes heart = test::Pattern(HeartRegBlockLen, 0x41);
    return {
        {"LAN read", BuildCommandFrame(CmdRead, Mac, "admin", Sent), {{15, 6}}, {Sent}},
        {"LAN restart", BuildCommandFrame(CmdRestart, Mac, "admin", Sent), {{15, 6}}, {Sent}},
        {"LAN base write",
         BuildCommandFrame(CmdWriteBase, Mac, "admin", Sent, base),
         {{15, 6}, {21 + 43, 6}},
         {Sent, Login}},
        {"LAN port write",
         BuildCommandFrame(CmdWritePort, Mac, "admin", Sent, port),
         {{15, 6}},
         {Sent}},
        {"LAN cloud write",
         BuildCommandFrame(CmdWriteCloud, Mac, "admin", Sent, cloud),
         {{15, 6}, {21 + 22, 8}},
         {Sent, Cloud}},
        {"LAN base write cut short",
         BuildCommandFrame(CmdWriteBase, Mac, "admin", Sent,
                           Bytes(base.begin(), base.begin() + 45)),
         {{15, 6}, {21 + 43, 2}},
         {Sent}},
        {"search request", BuildSearchRequest(), {}, {}},
    };
}

std::vector<Case> ReplyCases() {
    const Bytes base = BaseBlock();
    return {
        {"base and port reply", Joined({base, test::ModulePortBlock()}), {{43, 6}}, {Login}},
        {"cloud reply", CloudBlock(), {{22, 8}}, {Cloud}},
        {"heartbeat reply", test::Pattern(HeartRegBlockLen, 0x41), {}, {}},
        {"base block alone", base, {{43, 6}}, {Login}},
    };
}

Bytes Masked(Bytes frame, const SecretSpans& spans) {
    for (const SecretSpan& span : spans) {
        std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(span.offset), span.length, '*');
    }
    return frame;
}

void ExpectCovers(const Case& c, const SecretSpans& got) {
    EXPECT_EQ(got, c.spans) << c.what;
    for (const std::string_view password : c.passwords) {
        EXPECT_TRUE(Holds(c.frame, password)) << c.what << ": the fixture carries " << password;
        EXPECT_FALSE(Holds(Masked(c.frame, got), password))
            << c.what << ": " << password << " is left in the clear";
    }
}

TEST(FrameSecrets, LanCommandFramesHideTheirPasswordAndTheBlocksOnes) {
    for (const Case& c : Cases()) {
        ExpectCovers(c, CommandFrameSecrets(c.frame));
    }
}

TEST(FrameSecrets, ParameterRepliesAndBlocksHideTheModulesPasswords) {
    for (const Case& c : ReplyCases()) {
        const SecretSpans got =
            c.frame.size() == BaseBlockLen ? BaseBlockSecrets() : ParamReplySecrets(c.frame);
        ExpectCovers(c, got);
    }
    EXPECT_EQ(CloudBlockSecrets(), (SecretSpans{{22, 8}}));
}

TEST(FrameSecrets, SerialFramesByDirection) {
    const Bytes base = BaseBlock();
    const Bytes port = test::ModulePortBlock();
    const Bytes p6Reply = Joined({{0x55, 0xBD}, base, port, test::Pattern(5, 0x61)});
    const Bytes cloudHeart = Joined({{0x55, 0xBD},
                                     Bytes(DeviceId, DeviceId + 20),
                                     Bytes(Cloud, Cloud + 8),
                                     test::Pattern(HeartRegBlockLen, 0x41)});
    ASSERT_EQ(p6Reply.size(), SerP6ReplyLen);
    ASSERT_EQ(cloudHeart.size(), SerCloudHeartReplyLen);
    struct SerialCase {
        Case c;
        SerialDirection direction;
    };
    const SerialCase cases[] = {
        {{"base write", BuildSerialBaseWrite(base.data()), {{2 + 43, 6}}, {Login}},
         SerialDirection::ToModule},
        {{"port write", BuildSerialPortWrite(port.data()), {}, {}}, SerialDirection::ToModule},
        {{"read request", BuildSerialReadRequest(DevFlagP6), {}, {}}, SerialDirection::ToModule},
        {{"P6 read reply", p6Reply, {{2 + 43, 6}}, {Login}}, SerialDirection::FromModule},
        {{"cloud and heartbeat reply", cloudHeart, {{22, 8}}, {Cloud}},
         SerialDirection::FromModule},
        {{"accept", {0x4B}, {}, {}}, SerialDirection::FromModule},
        // The same bytes the other way are no reply of a module: nothing is taken for a password.
        {{"137 bytes sent", p6Reply, {}, {}}, SerialDirection::ToModule},
    };
    for (const SerialCase& s : cases) {
        ExpectCovers(s.c, SerialFrameSecrets(s.c.frame, s.direction));
    }
}

} // namespace
} // namespace r2
