// The chunk writer and reader under the scene format: kinds, bounds and sticky errors.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/iload.h"
#include "platform/host/isave.h"

namespace host {
namespace {

TEST(HostChunkIO, TypedValuesRoundTripInNestedChunks) {
    ISave out;
    out.BeginChunk(0x0100);
    out.BeginChunk(0x0101);
    out.WriteU8(0xab);
    out.WriteU16(0xbeef);
    out.WriteI32(-5);
    out.WriteFloat(-0.0f);
    out.EndChunk();
    out.BeginChunk(0x0102);
    out.WriteWString(WStr(u"n\u00e4me"));
    out.EndChunk();
    out.BeginChunk(0x0103);  // empty
    out.EndChunk();
    out.EndChunk();
    ASSERT_FALSE(out.Failed()) << out.ErrorMessage();

    ILoad in(out.Bytes());
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    EXPECT_EQ(in.CurChunkID(), 0x0100);
    EXPECT_EQ(in.CurChunkType(), ChunkKind::container);
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    EXPECT_EQ(in.CurChunkType(), ChunkKind::data);
    EXPECT_EQ(in.CurChunkLength(), 11u);
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::int32_t i32 = 0;
    float f = 1.0f;
    in.ReadU8(u8);
    in.ReadU16(u16);
    in.ReadI32(i32);
    EXPECT_EQ(in.ReadFloat(f), IO_OK);
    EXPECT_EQ(u8, 0xab);
    EXPECT_EQ(u16, 0xbeef);
    EXPECT_EQ(i32, -5);
    EXPECT_TRUE(std::signbit(f));
    EXPECT_EQ(in.CloseChunk(), IO_OK);
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    WStr name;
    EXPECT_EQ(in.ReadWStringRest(name), IO_OK);
    EXPECT_EQ(name, u"n\u00e4me");
    in.CloseChunk();
    ASSERT_EQ(in.OpenChunk(), IO_OK);
    EXPECT_EQ(in.OpenChunk(), IO_END) << "an empty chunk serves as an empty container";
    in.CloseChunk();
    EXPECT_EQ(in.OpenChunk(), IO_END);
    in.CloseChunk();
    EXPECT_EQ(in.OpenChunk(), IO_END);
    EXPECT_FALSE(in.Failed());
}

TEST(HostChunkIO, WriterRefusesMixingDataAndChunks) {
    ISave a;
    a.BeginChunk(1);
    a.WriteU32(1);
    EXPECT_EQ(a.BeginChunk(2), IO_ERROR);
    EXPECT_NE(a.ErrorMessage().find("inside data chunk"), std::string::npos);
    EXPECT_EQ(a.EndChunk(), IO_ERROR) << "errors are sticky";
    ISave b;
    b.BeginChunk(1);
    b.BeginChunk(2);
    b.EndChunk();
    EXPECT_EQ(b.WriteU32(1), IO_ERROR);
    EXPECT_NE(b.ErrorMessage().find("container chunk"), std::string::npos);
    EXPECT_EQ(ISave().WriteU8(1), IO_ERROR);
    EXPECT_EQ(ISave().EndChunk(), IO_ERROR);
}

TEST(HostChunkIO, ReaderStaysInsideItsChunk) {
    ISave out;
    out.BeginChunk(7);
    out.WriteU16(1);
    out.EndChunk();
    out.BeginChunk(8);
    out.WriteU32(0x01020304);
    out.EndChunk();
    ILoad a(out.Bytes());
    a.OpenChunk();
    std::uint32_t v = 99;
    EXPECT_EQ(a.ReadU32(v), IO_ERROR) << "only two bytes in the chunk";
    EXPECT_EQ(v, 99u);
    EXPECT_NE(a.ErrorMessage().find("ends 2 bytes short"), std::string::npos) << a.ErrorMessage();
    EXPECT_EQ(a.CloseChunk(), IO_ERROR) << "errors are sticky";
    ILoad b(out.Bytes());
    b.OpenChunk();
    EXPECT_EQ(b.OpenChunk(), IO_ERROR) << "a data chunk holds no chunks";
    std::uint8_t byte = 0;
    EXPECT_EQ(ILoad(out.Bytes()).ReadU8(byte), IO_ERROR) << "no data outside a data chunk";
    ILoad c(out.Bytes());
    c.OpenChunk();
    EXPECT_EQ(c.CloseChunk(), IO_OK) << "closing skips what was not read";
    ASSERT_EQ(c.OpenChunk(), IO_OK);
    EXPECT_EQ(c.CurChunkID(), 8);
    WStr odd;
    c.ReadU8(byte);
    EXPECT_EQ(c.ReadWStringRest(odd), IO_ERROR);
}

}  // namespace
}  // namespace host
