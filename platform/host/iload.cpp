#include "platform/host/iload.h"

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

ILoad::ILoad(std::span<const std::uint8_t> bytes, const ClassDirectory* classes)
    : bytes_(bytes), classes_(classes) {}

std::string ILoad::where() const {
    std::string path;
    for (const Level& level : open_) path += (path.empty() ? "" : "/") + hexId(level.id);
    return "at byte " + std::to_string(pos_) + (path.empty() ? std::string() : " in chunk " + path);
}

IOResult ILoad::Fail(const std::string& message) {
    if (error_.empty()) error_ = message + " (" + where() + ")";
    return IO_ERROR;
}

IOResult ILoad::OpenChunk() {
    if (Failed()) return IO_ERROR;
    const std::size_t end = open_.empty() ? bytes_.size() : open_.back().end;
    if (!open_.empty() && open_.back().kind == ChunkKind::data) {
        if (open_.back().end == open_.back().begin) return IO_END;
        return Fail("chunk " + hexId(open_.back().id) + " holds data, not chunks");
    }
    if (pos_ == end) return IO_END;
    if (end - pos_ < kChunkHeaderSize) return Fail("truncated chunk header");
    if (Depth() >= kMaxChunkDepth)
        return Fail("chunks nested deeper than " + std::to_string(kMaxChunkDepth));
    const std::uint8_t* header = bytes_.data() + pos_;
    const USHORT id = static_cast<USHORT>(header[0] | (header[1] << 8));
    if (header[2] > static_cast<std::uint8_t>(ChunkKind::container)) {
        return Fail("chunk " + hexId(id) + " has unknown kind " + std::to_string(header[2]));
    }
    if (header[3] != 0) return Fail("chunk " + hexId(id) + " has a nonzero reserved byte");
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length |= static_cast<std::uint32_t>(header[4 + i]) << (8 * i);
    const std::size_t left = end - pos_ - kChunkHeaderSize;
    if (length > left) {
        return Fail("chunk " + hexId(id) + " claims " + std::to_string(length) +
                    " bytes but only " + std::to_string(left) + " remain");
    }
    pos_ += kChunkHeaderSize;
    open_.push_back({pos_, pos_ + length, id, static_cast<ChunkKind>(header[2])});
    return IO_OK;
}

IOResult ILoad::CloseChunk() {
    if (Failed()) return IO_ERROR;
    if (open_.empty()) return Fail("CloseChunk without an open chunk");
    pos_ = open_.back().end;
    open_.pop_back();
    return IO_OK;
}

USHORT ILoad::CurChunkID() const { return open_.empty() ? 0 : open_.back().id; }
ChunkKind ILoad::CurChunkType() const {
    return open_.empty() ? ChunkKind::container : open_.back().kind;
}
ULONG ILoad::CurChunkLength() const {
    return open_.empty() ? 0 : static_cast<ULONG>(open_.back().end - open_.back().begin);
}
ULONG ILoad::RemainingInChunk() const {
    const std::size_t end = open_.empty() ? bytes_.size() : open_.back().end;
    return static_cast<ULONG>(end - pos_);
}

IOResult ILoad::Read(void* buf, ULONG nbytes, ULONG* nread) {
    if (nread != nullptr) *nread = 0;
    if (Failed()) return IO_ERROR;
    if (open_.empty() || open_.back().kind != ChunkKind::data) {
        return Fail("data read outside a data chunk");
    }
    if (nbytes > RemainingInChunk()) {
        return Fail("chunk " + hexId(open_.back().id) + " ends " +
                    std::to_string(nbytes - RemainingInChunk()) + " bytes short");
    }
    if (nbytes > 0) std::memcpy(buf, bytes_.data() + pos_, nbytes);
    pos_ += nbytes;
    if (nread != nullptr) *nread = nbytes;
    return IO_OK;
}

IOResult ILoad::ReadU8(std::uint8_t& v) { return Read(&v, 1, nullptr); }

IOResult ILoad::ReadU16(std::uint16_t& v) {
    std::uint8_t b[2];
    if (Read(b, 2, nullptr) != IO_OK) return IO_ERROR;
    v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    return IO_OK;
}

IOResult ILoad::ReadU32(std::uint32_t& v) {
    std::uint8_t b[4];
    if (Read(b, 4, nullptr) != IO_OK) return IO_ERROR;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    return IO_OK;
}

IOResult ILoad::ReadI32(std::int32_t& v) {
    std::uint32_t bits = 0;
    if (ReadU32(bits) != IO_OK) return IO_ERROR;
    v = static_cast<std::int32_t>(bits);
    return IO_OK;
}

IOResult ILoad::ReadFloat(float& v) {
    std::uint32_t bits = 0;
    if (ReadU32(bits) != IO_OK) return IO_ERROR;
    std::memcpy(&v, &bits, sizeof v);
    return IO_OK;
}

IOResult ILoad::ReadWStringRest(WStr& text) {
    if (Failed()) return IO_ERROR;
    const ULONG left = RemainingInChunk();
    if (left % 2 != 0) return Fail("text with an odd number of bytes");
    std::u16string units;
    units.reserve(left / 2);
    for (ULONG i = 0; i < left / 2; ++i) {
        std::uint16_t unit = 0;
        if (ReadU16(unit) != IO_OK) return IO_ERROR;
        units.push_back(static_cast<char16_t>(unit));
    }
    text = WStr(std::move(units));
    return IO_OK;
}

}  // namespace host
