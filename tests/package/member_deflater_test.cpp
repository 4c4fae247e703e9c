#include "package/member_deflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Text shaped like a part: repeated elements with varying numbers, so that deflate finds long
// matches across the places where the pieces are cut.
std::string partLikeText(std::mt19937& random, std::size_t size) {
  std::string text;
  while (text.size() < size)
    text += "<WSToolbar pUID=\"TBU_" + std::to_string(random() % 5000) + "\" xval=\"" +
            std::to_string(random() % 900) + "\" />\n";
  return text;
}

// The raw deflate of the whole text in one call, as an archive writer makes it.
std::vector<unsigned char> deflatedAtOnce(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::vector<unsigned char> out(deflateBound(&stream, static_cast<uLong>(text.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  return done ? out : std::vector<unsigned char>{};
}

std::vector<unsigned char> inflated(const std::vector<unsigned char>& raw, std::size_t size) {
  std::vector<unsigned char> out(size);
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return {};
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.avail_out == 0;
  inflateEnd(&stream);
  return whole ? out : std::vector<unsigned char>{};
}

// However a text is cut into pieces, the deflated bytes are those of the whole text deflated in
// one call, so a part written piece by piece gets the bytes it always got; they inflate back to
// the text, with its CRC-32 and size.
TEST(MemberDeflater, PiecesGiveTheBytesOfTheWholeText) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const std::string text = partLikeText(random, 1000 + random() % 400000);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    MemberDeflater cut;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t piece = std::min<std::size_t>(text.size() - at, random() % 70000);
      ASSERT_TRUE(cut.add(bytes + at, piece, text.size()));
      at += piece;
    }
    ASSERT_TRUE(cut.finish());
    EXPECT_EQ(cut.output(), deflatedAtOnce(text));
    EXPECT_EQ(cut.size(), text.size());
    EXPECT_EQ(cut.crc(), crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(text.size())));
    EXPECT_EQ(inflated(cut.output(), text.size()),
              std::vector<unsigned char>(text.begin(), text.end()));
  }
}

// More than the limit fails, and nothing after a failure succeeds.
TEST(MemberDeflater, RefusesMoreThanTheLimit) {
  const unsigned char bytes[] = "0123456789";
  MemberDeflater deflater;
  EXPECT_TRUE(deflater.add(bytes, 6, 10));
  EXPECT_FALSE(deflater.add(bytes, 5, 10));
  EXPECT_FALSE(deflater.add(bytes, 1, 10));
  EXPECT_FALSE(deflater.finish());
  MemberDeflater empty;
  EXPECT_TRUE(empty.finish());
  EXPECT_EQ(inflated(empty.output(), 0), std::vector<unsigned char>{});
  EXPECT_EQ(empty.size(), 0u);
}

}  // namespace
