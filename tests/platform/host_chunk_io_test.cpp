// The chunk writer and reader under the scene format: kinds, bounds and sticky errors. (The
// scene round trip covers what sound chunks hold.)
#include <gtest/gtest.h>

#include "platform/host/iload.h"
#include "platform/host/isave.h"

namespace host {
namespace {

TEST(HostChunkIO, RefusesMixingDataAndChunksAndReadsPastAChunk) {
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
    EXPECT_EQ(ISave().WriteU8(1), IO_ERROR);
    EXPECT_EQ(ISave().EndChunk(), IO_ERROR);

    ISave out;
    out.BeginChunk(7);
    out.WriteU16(1);
    out.EndChunk();
    out.BeginChunk(8);
    out.WriteU8(1);
    out.EndChunk();
    ILoad c(out.Bytes());
    c.OpenChunk();
    std::uint32_t v = 99;
    EXPECT_EQ(c.ReadU32(v), IO_ERROR) << "only two bytes in the chunk";
    EXPECT_EQ(v, 99u);
    EXPECT_EQ(c.CloseChunk(), IO_ERROR) << "errors are sticky";
    ILoad d(out.Bytes());
    d.OpenChunk();
    EXPECT_EQ(d.OpenChunk(), IO_ERROR) << "a data chunk holds no chunks";
    std::uint8_t byte = 0;
    EXPECT_EQ(ILoad(out.Bytes()).ReadU8(byte), IO_ERROR) << "no data outside a data chunk";
    ILoad e(out.Bytes());
    e.OpenChunk();
    EXPECT_EQ(e.CloseChunk(), IO_OK) << "closing skips what was not read";
    ASSERT_EQ(e.OpenChunk(), IO_OK);
    EXPECT_EQ(e.CurChunkID(), 8);
    WStr odd;
    EXPECT_EQ(e.ReadWStringRest(odd), IO_ERROR) << "a wide string of an odd byte count";
}

}  // namespace
}  // namespace host
