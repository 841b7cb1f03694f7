#include "platform/host/isave.h"

#include <cstdio>
#include <cstring>

namespace host {

namespace {

std::string hexId(USHORT id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(id));
    return text;
}

}  // namespace

ISave::ISave(std::vector<std::uint8_t> prefix) : bytes_(std::move(prefix)) {}

IOResult ISave::Fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return IO_ERROR;
}

IOResult ISave::BeginChunk(USHORT id) {
    if (Failed()) return IO_ERROR;
    if (Depth() >= kMaxChunkDepth) return Fail("chunk " + hexId(id) + " is nested too deep");
    if (!open_.empty()) {
        OpenChunk& parent = open_.back();
        if (parent.hasData)
            return Fail("chunk " + hexId(id) + " opened inside data chunk " + hexId(parent.id));
        parent.hasChunks = true;
    }
    open_.push_back({bytes_.size(), id, false, false});
    bytes_.resize(bytes_.size() + kChunkHeaderSize, 0);
    return IO_OK;
}

IOResult ISave::EndChunk() {
    if (Failed()) return IO_ERROR;
    if (open_.empty()) return Fail("EndChunk without an open chunk");
    const OpenChunk chunk = open_.back();
    open_.pop_back();
    const std::size_t payload = bytes_.size() - chunk.headerPos - kChunkHeaderSize;
    if (payload > kMaxChunkPayload) return Fail("chunk " + hexId(chunk.id) + " is too large");
    std::uint8_t* header = bytes_.data() + chunk.headerPos;
    header[0] = static_cast<std::uint8_t>(chunk.id & 0xff);
    header[1] = static_cast<std::uint8_t>(chunk.id >> 8);
    header[2] = static_cast<std::uint8_t>(chunk.hasChunks ? ChunkKind::container : ChunkKind::data);
    header[3] = 0;
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<std::uint8_t>(payload >> (8 * i));
    return IO_OK;
}

IOResult ISave::Write(const void* buf, ULONG nbytes, ULONG* nwrit) {
    if (nwrit != nullptr) *nwrit = 0;
    if (Failed()) return IO_ERROR;
    if (open_.empty()) return Fail("data written outside any chunk");
    OpenChunk& chunk = open_.back();
    if (chunk.hasChunks) return Fail("data written into container chunk " + hexId(chunk.id));
    chunk.hasData = true;
    if (nbytes > 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(buf);
        bytes_.insert(bytes_.end(), bytes, bytes + nbytes);
    }
    if (nwrit != nullptr) *nwrit = nbytes;
    return IO_OK;
}

IOResult ISave::WriteU8(std::uint8_t v) { return Write(&v, 1, nullptr); }

IOResult ISave::WriteU16(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    return Write(b, 2, nullptr);
}

IOResult ISave::WriteU32(std::uint32_t v) {
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return Write(b, 4, nullptr);
}

IOResult ISave::WriteI32(std::int32_t v) { return WriteU32(static_cast<std::uint32_t>(v)); }

IOResult ISave::WriteFloat(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return WriteU32(bits);
}

IOResult ISave::WriteWString(const WStr& text) {
    if (Failed()) return IO_ERROR;
    if (open_.empty()) return Fail("data written outside any chunk");
    open_.back().hasData = !text.isNull() || open_.back().hasData;
    for (char16_t unit : text.view()) {
        if (WriteU16(static_cast<std::uint16_t>(unit)) != IO_OK) return IO_ERROR;
    }
    return IO_OK;
}

}  // namespace host
