#include "ts/packet.h"

namespace tscard {
namespace {

Packet MakeNullPacket() {
    Packet p;
    p.fill(0xFF);
    p[0] = kSyncByte;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = 0x1F;
    return p;
}

Packet MakeSeparatorPacket() {
    Packet p{};
    p[0] = p[1] = p[2] = p[3] = 0xA1;
    return p;
}

}  // namespace

const Packet& NullPacket() {
    static const Packet packet = MakeNullPacket();
    return packet;
}

const Packet& SeparatorPacket() {
    static const Packet packet = MakeSeparatorPacket();
    return packet;
}

}  // namespace tscard
