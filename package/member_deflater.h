// Deflating a member's bytes as they come, the way a save writes a member anew: raw deflate at
// level 9, window bits -15, memory level 8 (as minizip writes), with the CRC-32 and the size of
// what went in. The same bytes give the same output however they are cut into pieces. The
// object owns its zlib stream and its output until taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct z_stream_s;

class MemberDeflater {
 public:
  MemberDeflater();
  ~MemberDeflater();
  MemberDeflater(const MemberDeflater&) = delete;
  MemberDeflater& operator=(const MemberDeflater&) = delete;

  // False once zlib or memory failed, or more than limit bytes came in all.
  bool add(const unsigned char* data, std::size_t length, std::uint64_t limit);
  // Ends the stream; false when it cannot be ended. The output is then complete (and not
  // before).
  bool finish();
  std::vector<unsigned char>& output() { return output_; }
  std::uint32_t crc() const { return crc_; }
  std::uint64_t size() const { return size_; }

 private:
  bool run(int flush);

  std::unique_ptr<z_stream_s> stream_;
  bool open_ = false;
  bool failed_ = false;
  std::vector<unsigned char> output_;
  std::size_t used_ = 0;
  std::uint32_t crc_ = 0;
  std::uint64_t size_ = 0;
};
