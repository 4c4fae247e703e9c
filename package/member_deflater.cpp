#include "package/member_deflater.h"

#include <zlib.h>

#include <algorithm>
#include <new>

MemberDeflater::MemberDeflater() : stream_(new (std::nothrow) z_stream{}) {
  open_ = stream_ &&
          deflateInit2(stream_.get(), 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  failed_ = !open_;
  crc_ = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
}

MemberDeflater::~MemberDeflater() {
  if (open_) deflateEnd(stream_.get());
}

bool MemberDeflater::add(const unsigned char* data, std::size_t length, std::uint64_t limit) {
  if (failed_ || length > limit || size_ > limit - length) {
    failed_ = true;
    return false;
  }
  size_ += length;
  // zlib takes at most 4 GiB - 1 at once.
  for (std::size_t done = 0; done < length;) {
    const uInt piece = static_cast<uInt>(std::min<std::size_t>(length - done, 1u << 30));
    crc_ = static_cast<std::uint32_t>(crc32(crc_, data + done, piece));
    stream_->next_in = const_cast<Bytef*>(data + done);
    stream_->avail_in = piece;
    if (!run(Z_NO_FLUSH)) return false;
    done += piece;
  }
  return true;
}

bool MemberDeflater::finish() {
  return !failed_ && run(Z_FINISH);
}

// Deflates what is waiting into an output that grows as it comes: text deflates to a small part
// of its size, and room for the worst case would be cleared and touched for nothing. The output
// keeps its room between calls (used_ counts what is filled) and doubles when it runs out.
bool MemberDeflater::run(int flush) {
  z_stream& stream = *stream_;
  try {
    for (;;) {
      if (output_.size() - used_ < (1u << 12))
        output_.resize(std::max<std::size_t>(output_.size() * 2, 1u << 16));
      const std::size_t room = std::min<std::size_t>(output_.size() - used_, 1u << 30);
      stream.next_out = output_.data() + used_;
      stream.avail_out = static_cast<uInt>(room);
      const int result = deflate(&stream, flush);
      used_ += room - stream.avail_out;
      if (result == Z_STREAM_END) {
        output_.resize(used_);
        return true;
      }
      if (result != Z_OK && result != Z_BUF_ERROR) break;
      // All input taken and the output not full: zlib waits for more.
      if (flush == Z_NO_FLUSH && stream.avail_in == 0 && stream.avail_out != 0) return true;
    }
  } catch (const std::bad_alloc&) {
  }
  failed_ = true;
  return false;
}
